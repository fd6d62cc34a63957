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

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- keys, operations and values ------------------------------------- */
enum {
    VEK_CREATE = 256,          /* vekTrackeri(t, VEK_CREATE, type)          */
    VEK_DESTROY = 257,         /* vekTracker(t, VEK_DESTROY)                */
    VEK_ON = 258,              /* enable a tracker, start a stream          */
    VEK_OFF = 259,             /* disable a tracker, stop a stream          */

    VEK_FREQUENCY = 512,       /* vekSetFloat / vekGetFloatv, Hz, 0 = stop  */
    VEK_STREAMING = 513,       /* vekSetInteger: VEK_ON / VEK_OFF           */
    VEK_INTERPOLATION = 514,   /* vekSetInteger: n > 0                      */
    VEK_MARKERS = 529,         /* stream keys                               */
    VEK_RIGIDS = 530,
    VEK_DETECTORS = 673,
    VEK_IMAGES = 674,

    VEK_POINT_TRACKER = 768,
    VEK_RIGID_TRACKER = 769,

    VEK_TRACKER_THRESHOLD = 1013, /* vekTrackerf: stored by the server      */
    VEK_FILL = 1020,              /* vekTrackerf: 1.0 fill, 0.0 no fill     */
    VEK_MARKER_LED = 1024,        /* vekMarkeri / vekMarkeriv               */
    VEK_MARKER_POSITION = 1025,   /* vekMarkerfv: x, y, z in the body frame */

    VEK_VERSION = 1280,        /* vekGetString                              */
    VEK_FRAME = 1296,          /* vekGetIntegerv: newest frame received     */

    /* Diagnostics of this implementation (vekGetIntegerv). */
    VEK_LIB_DROPPED = 0x7001,    /* frames dropped by full backlogs here     */
    VEK_SERVER_DROPPED = 0x7002, /* frames the server dropped for us         */
    VEK_INIT_FLAGS = 0x7003,     /* init flags as the server recorded them   */
    VEK_CLIENT_ID = 0x7004       /* our number at the server                 */
};

/* vekInit flags */
enum {
    VEK_SLAVE = 0x1,
    VEK_POSTPROCESS = 0x10,
    VEK_MODE1 = 0x100,
    VEK_MODE2 = 0x200,
    VEK_MODE3 = 0x300,
    VEK_MODE4 = 0x400,
    VEK_SPECIAL = 0xa00
};

/* Codes from vekGetError. Negative codes are minus a socket error. */
enum {
    VEK_NO_ERROR = 0,
    VEK_SERVER_STOPPED = 1,
    VEK_INVALID_VALUE = 32,
    VEK_INVALID_ENUM = 33,
    VEK_INVALID_OPERATION = 34,
    VEK_ERR_MASTER_BUSY = 0x101,      /* another client controls the server */
    VEK_ERR_TOO_MANY_CLIENTS = 0x102,
    VEK_ERR_PROTOCOL = 0x103,         /* peer broke the wire protocol        */
    VEK_ERR_NET_UNREACHABLE = -10051,
    VEK_ERR_TIMED_OUT = -10060,
    VEK_ERR_REFUSED = -10061,
    VEK_ERR_HOST_UNREACHABLE = -10065
};

enum {
    VEK_DEFAULT_PORT = 8998,      /* TCP port of vekd                       */
    VEK_DISCOVERY_PORT = 8999,    /* UDP port of server discovery           */
    VEK_TIMEOUT_MS = 2000,        /* connect, handshake and request limit   */
    VEK_STRING_SIZE = 256,        /* vekGetString writes at most this much  */
    VEK_MAX_CAMERAS = 64,
    VEK_DETECTOR_PIXELS = 3680,
    VEK_FETCH_BYTES = 16384
};

/* ---- records (little-endian on the wire, same layout in memory) ------- */
typedef struct MarkerRecord {
    int32_t id;        /* tracker id * 4096 + marker index */
    int32_t frame;
    float x, y, z;
    float cond;        /* > 0 seen (larger is worse), otherwise not seen */
    uint32_t flags;
} MarkerRecord;

typedef struct RigidRecord {
    int32_t id;        /* tracker id */
    int32_t frame;
    float pose[7];     /* x, y, z, qw, qx, qy, qz */
    float cond;        /* > 0 when the pose was found */
    uint32_t word;     /* number of markers used by the fit */
} RigidRecord;

typedef struct ImageRecord {
    int32_t id;        /* marker id, or -1 when no enabled tracker holds the LED */
    int32_t frame;
    int32_t camera;    /* camera index */
    int32_t detector;  /* 0: horizontal angle, 1: vertical angle */
    int32_t width;     /* pixels */
    int32_t flags;     /* 1: saturated */
    float pos;         /* 0 to 1 along the detector */
    float amp;
} ImageRecord;

typedef struct DetectorRecord {
    int32_t id;        /* camera * 2 + detector */
    int32_t frame;
    int32_t camera;
    int32_t detector;
    int32_t peaks;     /* peaks this detector saw in the frame */
    int32_t pixels;    /* VEK_DETECTOR_PIXELS */
    float exposure;    /* microseconds */
    float noise;       /* standard deviation of a peak position, pixels */
    float maxAmp;      /* largest amplitude seen */
    uint32_t reserved;
} DetectorRecord;

typedef struct VEKCamera {
    int32_t id;
    float pose[7];     /* camera to world; the camera looks along its -z axis */
    float cond;        /* < 0 not calibrated */
    uint32_t word;     /* the wider field of view of its detectors, millidegrees */
} VEKCamera;

typedef struct VEKScanEntry {
    char host[256];        /* what vekInit accepts to reach the server */
    char description[256]; /* "vekd <version> <details>  <server name>" */
} VEKScanEntry;

/* ---- session ---------------------------------------------------------- */
/* server: "host" or "host:port"; NULL or "" means localhost:VEK_DEFAULT_PORT.
 * Returns >= 0 on success; < 0 on failure (a negative socket code, or -1
 * when the server refused: the reason is pending for vekGetError). */
int vekInit(const char *server, int flags);
void vekDone(void);
int vekGetStatus(void);   /* 0 when the previous request failed */
int vekGetError(void);    /* oldest pending code, removed; 0 when none */
/* Text for VEK_VERSION or a positive server code into buf (at least
 * VEK_STRING_SIZE bytes). Returns its length, or 0 when there is none. */
int vekGetString(int code, char *buf);

int vekSetInteger(int key, int value);
int vekGetIntegerv(int key, int *value);     /* > 0 when the key is known */
int vekSetFloat(int key, float value);
int vekGetFloatv(int key, float *value);     /* > 0 when the key is known */
int vekScale(float scale);                   /* units per millimetre */
int vekLoadPose(const float pose[7]);        /* world pose of reported data */

/* ---- trackers --------------------------------------------------------- */
int vekTrackeri(int tracker, int key, int value);
int vekTracker(int tracker, int op);
int vekTrackerf(int tracker, int param, float value);
int vekMarkeri(int marker, int key, int value);
int vekMarkeriv(int marker, int key, const int *values);
int vekMarkerfv(int marker, int key, const float *values);

/* ---- streams: records of the oldest frame not yet fetched ------------- */
int vekGetMarkers(MarkerRecord *out, int max);
int vekGetRigids(RigidRecord *out, int max);
int vekGetImages(ImageRecord *out, int max);
int vekGetDetectors(DetectorRecord *out, int max);
int vekGetCameras(VEKCamera *out, int max);  /* the current camera list */
/* Generation time of the newest frame received, in microseconds of the
 * server's steady clock (the same clock as std::chrono::steady_clock on
 * the server's host). Returns > 0 when a frame has been received. */
int vekGetFrameTime(int64_t *microseconds);

int vekRPDClose(void);

/* ---- discovery -------------------------------------------------------- */
int vek_scan(const char *address, int port, const char *client, int wait_us,
             VEKScanEntry *out, int max);

/* ---- pose helpers: pose = x, y, z, qw, qx, qy, qz ---------------------- */
void convert_pm(const float pose[7], float m[16]);
void mult_pp(const float a[7], const float b[7], float out[7]);
void invert_p(float p[7]);
void normalize_p(float p[7]);
void mult_mv3_v3(const float m[16], const float v[3], float out[3]);

#ifdef __cplusplus
}

static_assert(sizeof(MarkerRecord) == 28, "MarkerRecord is 28 bytes");
static_assert(sizeof(RigidRecord) == 44, "RigidRecord is 44 bytes");
static_assert(sizeof(ImageRecord) == 32, "ImageRecord is 32 bytes");
static_assert(sizeof(DetectorRecord) == 40, "DetectorRecord is 40 bytes");
static_assert(sizeof(VEKCamera) == 40, "VEKCamera is 40 bytes");
static_assert(sizeof(VEKScanEntry) == 512, "a scan entry is 512 bytes");
#else
_Static_assert(sizeof(MarkerRecord) == 28, "MarkerRecord is 28 bytes");
_Static_assert(sizeof(RigidRecord) == 44, "RigidRecord is 44 bytes");
_Static_assert(sizeof(ImageRecord) == 32, "ImageRecord is 32 bytes");
_Static_assert(sizeof(DetectorRecord) == 40, "DetectorRecord is 40 bytes");
_Static_assert(sizeof(VEKCamera) == 40, "VEKCamera is 40 bytes");
_Static_assert(sizeof(VEKScanEntry) == 512, "a scan entry is 512 bytes");
#endif

#endif
