/*
 * The vocabulary vekd and libveksock share: keys, codes, records and the
 * facts every program relies on (marker ids, record limits, stream bits).
 * Written once here; veksock.h, the wire protocol and the server use it.
 */
#ifndef VEKWIRE_VEK_TYPES_H
#define VEKWIRE_VEK_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- keys, operations and values ------------------------------------- */
enum {
    VEK_CREATE = 256,  /* vekTrackeri(t, VEK_CREATE, type)          */
    VEK_DESTROY = 257, /* vekTracker(t, VEK_DESTROY)                */
    VEK_ON = 258,      /* enable a tracker, start a stream          */
    VEK_OFF = 259,     /* disable a tracker, stop a stream          */

    VEK_FREQUENCY = 512,     /* vekSetFloat / vekGetFloatv, Hz, 0 = stop  */
    VEK_STREAMING = 513,     /* vekSetInteger: VEK_ON / VEK_OFF           */
    VEK_INTERPOLATION = 514, /* vekSetInteger: n > 0                      */
    VEK_MARKERS = 529,       /* stream keys                               */
    VEK_RIGIDS = 530,
    VEK_DETECTORS = 673,
    VEK_IMAGES = 674,

    VEK_POINT_TRACKER = 768,
    VEK_RIGID_TRACKER = 769,

    VEK_TRACKER_THRESHOLD = 1013, /* vekTrackerf: stored by the server      */
    VEK_FILL = 1020,              /* vekTrackerf: 1.0 fill, 0.0 no fill     */
    VEK_MARKER_LED = 1024,        /* vekMarkeri / vekMarkeriv               */
    VEK_MARKER_POSITION = 1025,   /* vekMarkerfv: x, y, z in the body frame */

    VEK_VERSION = 1280, /* vekGetString                              */
    VEK_FRAME = 1296,   /* vekGetIntegerv: newest frame received     */

    /* Diagnostics of this implementation (vekGetIntegerv). */
    VEK_LIB_DROPPED = 0x7001,    /* frames dropped by full backlogs here     */
    VEK_SERVER_DROPPED = 0x7002, /* frames the server dropped for us         */
    VEK_INIT_FLAGS = 0x7003,     /* init flags as the server recorded them   */
    VEK_CLIENT_ID = 0x7004,      /* our number at the server                 */
    VEK_SAME_CLOCK = 0x7005,     /* 1: the server runs on this machine (a
                                    loopback address) and its frame times
                                    are this machine's steady clock
                                    (CLOCK_MONOTONIC): no conversion needed */
    VEK_SERVER_SKIPPED = 0x7006, /* frames the server did not make in time:
                                    gaps in the frame numbers received while
                                    streaming that its dropped count does not
                                    explain                                  */

    /* For recorders (vekSetInteger, VEK_ON / VEK_OFF): this client's peaks
     * carry the LED id in `id` instead of a marker id, so that markers can
     * be rebuilt later for any trackers. */
    VEK_PEAK_LEDS = 0x7010
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
    VEK_ERR_MASTER_BUSY = 0x101, /* another client controls the server */
    VEK_ERR_TOO_MANY_CLIENTS = 0x102,
    VEK_ERR_PROTOCOL = 0x103,       /* peer broke the wire protocol        */
    VEK_ERR_NOT_AUTHORISED = 0x104, /* wrong or missing lab key         */
    VEK_ERR_KEY_FILE = 0x105,       /* this client's key file is unusable */
    VEK_ERR_NET_UNREACHABLE = -10051,
    VEK_ERR_TIMED_OUT = -10060,
    VEK_ERR_REFUSED = -10061,
    VEK_ERR_HOST_UNREACHABLE = -10065
};

enum {
    VEK_DEFAULT_PORT = 8998,   /* TCP port of vekd                       */
    VEK_DISCOVERY_PORT = 8999, /* UDP port of server discovery           */
    VEK_TIMEOUT_MS = 2000,     /* connect, handshake and request limit   */
    VEK_STRING_SIZE = 256,     /* vekGetString writes at most this much  */
    VEK_MAX_CAMERAS = 64,
    VEK_DETECTOR_PIXELS = 3680,
    VEK_FETCH_BYTES = 16384
};

/* ---- records (little-endian on the wire, same layout in memory) -------
 * World positions and poses: millimetres, +y up (the floor is y = 0). */
typedef struct MarkerRecord {
    int32_t id; /* vek_marker_id(tracker id, marker index) */
    int32_t frame;
    float x, y, z;
    float cond; /* > 0 seen (larger is worse), otherwise not seen */
    uint32_t flags;
} MarkerRecord;

typedef struct RigidRecord {
    int32_t id; /* tracker id */
    int32_t frame;
    float pose[7]; /* x, y, z, qw, qx, qy, qz */
    float cond;    /* > 0 when the pose was found */
    uint32_t word; /* number of markers used by the fit */
} RigidRecord;

typedef struct ImageRecord {
    int32_t id; /* marker id, or -1 when no enabled tracker holds the LED */
    int32_t frame;
    int32_t camera;   /* camera index */
    int32_t detector; /* 0: horizontal angle, 1: vertical angle */
    int32_t width;    /* pixels */
    int32_t flags;    /* 1: saturated */
    float pos;        /* 0 to 1 along the detector */
    float amp;
} ImageRecord;

typedef struct DetectorRecord {
    int32_t id; /* camera * 2 + detector */
    int32_t frame;
    int32_t camera;
    int32_t detector;
    int32_t peaks;  /* peaks this detector saw in the frame */
    int32_t pixels; /* VEK_DETECTOR_PIXELS */
    float exposure; /* microseconds */
    float noise;    /* standard deviation of a peak position, pixels */
    float maxAmp;   /* largest amplitude seen */
    uint32_t fov;   /* this detector's field of view, millidegrees (0: not told) */
} DetectorRecord;

typedef struct VEKCamera {
    int32_t id;
    float pose[7]; /* camera to world; the camera looks along its -z axis */
    float cond;    /* < 0 not calibrated */
    uint32_t word; /* the wider field of view of its detectors, millidegrees */
} VEKCamera;

typedef struct VEKScanEntry {
    char host[256];        /* what vekInit accepts to reach the server */
    char description[256]; /* "vekd <version> <details>  <server name>" */
} VEKScanEntry;

/* The server's frame clock as this host sees it (vekGetClockEstimate). */
typedef struct VEKClockEstimate {
    int32_t trusted;      /* 1: the figures below may be used             */
    int32_t sameClock;    /* 1: the frame clock is this host's steady one */
    int64_t offsetUs;     /* frame clock minus CLOCK_MONOTONIC, now       */
    double driftPpm;      /* how fast the frame clock gains on this host's */
    double uncertaintyUs; /* bound on the offset's error                  */
    int32_t samples;      /* time exchanges the estimate rests on         */
    int32_t ageMs;        /* since the newest of them; -1: none yet       */
} VEKClockEstimate;

/* The helpers below are constant expressions for C++ callers. */
#ifdef __cplusplus
#define VEK_HELPER static constexpr
#else
#define VEK_HELPER static inline
#endif

/* ---- marker ids: tracker id * VEK_MARKERS_PER_TRACKER + marker index -- */
enum {
    VEK_MARKER_INDEX_BITS = 12,
    VEK_MARKERS_PER_TRACKER = 1 << VEK_MARKER_INDEX_BITS,
    VEK_MARKER_INDEX_MASK = VEK_MARKERS_PER_TRACKER - 1
};
VEK_HELPER int vek_marker_id(int tracker, int index) { return tracker * VEK_MARKERS_PER_TRACKER + index; }
VEK_HELPER int vek_marker_tracker(int id) { return id >> VEK_MARKER_INDEX_BITS; }
VEK_HELPER int vek_marker_index(int id) { return id & VEK_MARKER_INDEX_MASK; }

/* MarkerRecord flags */
enum {
    VEK_MARKER_FILLED = 0x10 /* unseen, placed where its rigid body's pose puts it */
};

/* ---- streams: key, index (order of a frame's sections) and mask bit ---- */
enum {
    VEK_MARKER_STREAM = 0,
    VEK_RIGID_STREAM = 1,
    VEK_IMAGE_STREAM = 2,
    VEK_DETECTOR_STREAM = 3,
    VEK_STREAM_COUNT = 4,
    VEK_MARKER_BIT = 1 << VEK_MARKER_STREAM,
    VEK_RIGID_BIT = 1 << VEK_RIGID_STREAM,
    VEK_IMAGE_BIT = 1 << VEK_IMAGE_STREAM,
    VEK_DETECTOR_BIT = 1 << VEK_DETECTOR_STREAM,
    VEK_DEFAULT_STREAMS = VEK_MARKER_BIT | VEK_RIGID_BIT /* on once streaming starts */
};
/* The index of a stream key; -1 for other keys. */
VEK_HELPER int vek_stream_index(int key) {
    switch (key) {
        case VEK_MARKERS:
            return VEK_MARKER_STREAM;
        case VEK_RIGIDS:
            return VEK_RIGID_STREAM;
        case VEK_IMAGES:
            return VEK_IMAGE_STREAM;
        case VEK_DETECTORS:
            return VEK_DETECTOR_STREAM;
        default:
            return -1;
    }
}
static inline int vek_stream_key(int index) {
    static const int keys[VEK_STREAM_COUNT] = {VEK_MARKERS, VEK_RIGIDS, VEK_IMAGES, VEK_DETECTORS};
    return keys[index];
}
VEK_HELPER int vek_stream_bit(int index) { return 1 << index; }
#undef VEK_HELPER

/* ---- record limits: what one VEK_FETCH_BYTES buffer holds -------------- */
enum {
    VEK_MAX_MARKERS = VEK_FETCH_BYTES / sizeof(MarkerRecord),    /* 585 */
    VEK_MAX_RIGIDS = VEK_FETCH_BYTES / sizeof(RigidRecord),      /* 372 */
    VEK_MAX_IMAGES = VEK_FETCH_BYTES / sizeof(ImageRecord),      /* 512 */
    VEK_MAX_DETECTORS = VEK_FETCH_BYTES / sizeof(DetectorRecord) /* 409 */
};

#ifdef __cplusplus
}

static_assert(sizeof(MarkerRecord) == 28, "MarkerRecord is 28 bytes");
static_assert(sizeof(RigidRecord) == 44, "RigidRecord is 44 bytes");
static_assert(sizeof(ImageRecord) == 32, "ImageRecord is 32 bytes");
static_assert(sizeof(DetectorRecord) == 40, "DetectorRecord is 40 bytes");
static_assert(sizeof(VEKCamera) == 40, "VEKCamera is 40 bytes");
static_assert(sizeof(VEKScanEntry) == 512, "a scan entry is 512 bytes");
static_assert(VEK_MAX_MARKERS == 585 && VEK_MAX_RIGIDS == 372 && VEK_MAX_IMAGES == 512 &&
                  VEK_MAX_DETECTORS == 409,
              "the record limits every program relies on");
#else
_Static_assert(sizeof(MarkerRecord) == 28, "MarkerRecord is 28 bytes");
_Static_assert(sizeof(RigidRecord) == 44, "RigidRecord is 44 bytes");
_Static_assert(sizeof(ImageRecord) == 32, "ImageRecord is 32 bytes");
_Static_assert(sizeof(DetectorRecord) == 40, "DetectorRecord is 40 bytes");
_Static_assert(sizeof(VEKCamera) == 40, "VEKCamera is 40 bytes");
_Static_assert(sizeof(VEKScanEntry) == 512, "a scan entry is 512 bytes");
#endif

#endif
