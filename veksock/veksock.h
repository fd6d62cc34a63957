/*
 * libveksock: the client library of the vekd capture server.
 *
 * Single-threaded: one process-wide session, every call made from one thread.
 * No call blocks longer than VEK_TIMEOUT_MS, and the streaming calls never
 * block at all. The wire protocol behind these calls is described in
 * docs/protocol.md.
 */
#ifndef VEKSOCK_VEKSOCK_H
#define VEKSOCK_VEKSOCK_H

#include "vek_types.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- session ---------------------------------------------------------- */
/* server: "host" or "host:port"; NULL or "" means localhost:VEK_DEFAULT_PORT.
 * Returns >= 0 on success; < 0 on failure (a negative socket code, or -1
 * when the server refused or the key file is unusable: the reason is
 * pending for vekGetError; VEK_ERR_NOT_AUTHORISED: wrong or missing key). */
int vekInit(const char* server, int flags);
/* The lab key to prove to servers that ask for one (docs/security.md),
 * read from a key file (64 hex digits, mode 0600) before vekInit; NULL
 * forgets it. Returns > 0 when the key was read; 0 otherwise, with
 * VEK_ERR_KEY_FILE pending, whose vekGetString text says what is wrong.
 * Without this call the library reads the file VEK_KEY_FILE names, else
 * ~/.config/vek/key when it exists, at each vekInit; a file there that
 * cannot be used fails vekInit (-1, VEK_ERR_KEY_FILE pending). */
int vekLoadKey(const char* path);
void vekDone(void);
int vekGetStatus(void); /* 0 when the previous request failed */
int vekGetError(void);  /* oldest pending code, removed; 0 when none */
/* Text for VEK_VERSION or a positive server code into buf (at least
 * VEK_STRING_SIZE bytes). Returns its length, or 0 when there is none.
 * When the last connection was lost to a protocol error, the text of
 * VEK_ERR_PROTOCOL goes on with ": " and what broke, until the next
 * vekInit. */
int vekGetString(int code, char* buf);

int vekSetInteger(int key, int value);
int vekGetIntegerv(int key, int* value); /* > 0 when the key is known */
int vekSetFloat(int key, float value);
int vekGetFloatv(int key, float* value); /* > 0 when the key is known */
int vekScale(float scale);               /* units per millimetre */
int vekLoadPose(const float pose[7]);    /* world pose of reported data */

/* ---- trackers --------------------------------------------------------- */
int vekTrackeri(int tracker, int key, int value);
int vekTracker(int tracker, int op);
int vekTrackerf(int tracker, int param, float value);
int vekMarkeri(int marker, int key, int value);
int vekMarkeriv(int marker, int key, const int* values);
int vekMarkerfv(int marker, int key, const float* values);

/* ---- streams: records of the oldest frame not yet fetched ------------- */
int vekGetMarkers(MarkerRecord* out, int max);
int vekGetRigids(RigidRecord* out, int max);
int vekGetImages(ImageRecord* out, int max);
int vekGetDetectors(DetectorRecord* out, int max);
int vekGetCameras(VEKCamera* out, int max); /* the current camera list */
/* Generation time of the newest frame received, in microseconds of the
 * server's steady clock (the same clock as std::chrono::steady_clock on
 * the server's host). Returns > 0 when a frame has been received. */
int vekGetFrameTime(int64_t* microseconds);

/* ---- capture times on this host's clock -------------------------------
 * The library estimates the server's frame clock against this host's
 * clocks by itself (docs/protocol.md, "Time exchange"): a few exchanges
 * inside vekInit, then one every 25 ms from inside the other calls,
 * so a client that stops calling gets a stale estimate that says so, never
 * a wrong one. `clock`: CLOCK_MONOTONIC or CLOCK_REALTIME (<time.h>).
 *
 * The capture time of `frame` (0: the newest received; otherwise one of
 * the last 2048 received) on `clock`, in microseconds. Returns 1 with the
 * time in *us; 0 when the estimate is not trustworthy (or `clock` is
 * neither), *us untouched; -1 when the frame is not known. */
int vekGetCaptureTime(int frame, int clock, int64_t* us);
/* The same for a generation time the caller holds (vekGetFrameTime, a
 * take): 1 with *localUs, 0 when the estimate is not trustworthy. */
int vekServerTimeToLocal(int64_t serverUs, int clock, int64_t* localUs);
/* The current estimate, filled in whether or not it can be trusted.
 * Returns 1 when trustworthy, 0 otherwise. With VEK_SAME_CLOCK the offset
 * and its uncertainty are 0 and the conversions above are the identity on
 * CLOCK_MONOTONIC. */
int vekGetClockEstimate(VEKClockEstimate* out);

int vekRPDClose(void);

/* ---- discovery -------------------------------------------------------- */
int vek_scan(const char* address, int port, const char* client, int wait_us, VEKScanEntry* out, int max);

/* ---- pose helpers: pose = x, y, z, qw, qx, qy, qz ---------------------- */
void convert_pm(const float pose[7], float m[16]);
void mult_pp(const float a[7], const float b[7], float out[7]);
void invert_p(float p[7]);
void normalize_p(float p[7]);
void mult_mv3_v3(const float m[16], const float v[3], float out[3]);

#ifdef __cplusplus
}
#endif

#endif
