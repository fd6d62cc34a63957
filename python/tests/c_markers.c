/* The markers of frames as the C library hands them out, for the tests that
 * compare the Python module with it: connects as a slave, says "ready",
 * then prints one line per marker of the next FRAMES frames:
 * "frame id x y z cond", numbers written so that they read back exactly.
 *   c_markers SERVER FRAMES
 * Exit status 0 when every frame came, 1 otherwise. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "veksock.h"

static double seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: c_markers SERVER FRAMES\n");
        return 2;
    }
    const int wanted = atoi(argv[2]);
    if (vekInit(argv[1], VEK_SLAVE) < 0 || !vekSetInteger(VEK_STREAMING, VEK_ON)) {
        fprintf(stderr, "c_markers: cannot stream from %s (code %d)\n", argv[1], vekGetError());
        return 1;
    }
    printf("ready\n");
    fflush(stdout);
    static MarkerRecord markers[VEK_MAX_MARKERS];
    const double end = seconds() + 20;
    int frames = 0;
    while (frames < wanted && seconds() < end) {
        const int n = vekGetMarkers(markers, VEK_MAX_MARKERS);
        if (n < 0) break;
        if (n == 0) {
            const struct timespec pause = {0, 200000};
            nanosleep(&pause, NULL);
            continue;
        }
        for (int i = 0; i < n; ++i)
            printf("%d %d %.9g %.9g %.9g %.9g\n", markers[i].frame, markers[i].id, markers[i].x, markers[i].y,
                   markers[i].z, markers[i].cond);
        ++frames;
    }
    vekDone();
    return frames == wanted ? 0 : 1;
}
