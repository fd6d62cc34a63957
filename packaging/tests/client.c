/* A client built against the installed library: connects to the server
 * named on its command line and prints its camera count. */
#include <stdio.h>

#include <veksock.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: client host:port\n");
        return 2;
    }
    if (vekInit(argv[1], 0) < 0) {
        fprintf(stderr, "client: cannot connect to %s (code %d)\n", argv[1], vekGetError());
        return 1;
    }
    VEKCamera cameras[VEK_MAX_CAMERAS];
    const int n = vekGetCameras(cameras, VEK_MAX_CAMERAS);
    printf("cameras: %d\n", n);
    vekDone();
    return n > 0 ? 0 : 1;
}
