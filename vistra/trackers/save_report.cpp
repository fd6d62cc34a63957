#include "trackers/save_report.h"

namespace {

constexpr int kFirstLineIds = 17;
constexpr int kLineIds = 16;

}  // namespace

QString SaveReport(const vektk::Tracker& tracker) {
    QString report;
    if (tracker.type == vektk::kRigidTracker) {
        for (const vektk::MarkerDef& m : tracker.markers) {
            const float x = m.pos.size() > 2 ? m.pos[0] : 0, y = m.pos.size() > 2 ? m.pos[1] : 0,
                        z = m.pos.size() > 2 ? m.pos[2] : 0;
            report += QStringLiteral("%1 %2 %3 %4\n")
                          .arg(m.led, -5)
                          .arg(x, -10, 'f', 2)
                          .arg(y, -10, 'f', 2)
                          .arg(z, -10, 'f', 2);
        }
        return report;
    }
    const std::size_t count = tracker.markers.size();
    for (std::size_t i = 0; i < count; ++i) {
        report += QString::number(tracker.markers[i].led);
        const int position = static_cast<int>(i);
        const bool lineEnds =
            position >= kFirstLineIds - 1 && (position - (kFirstLineIds - 1)) % kLineIds == 0;
        if (i + 1 < count) report += QLatin1Char(',');
        if (lineEnds)
            report += QLatin1Char('\n');
        else if (i + 1 < count)
            report += QLatin1Char(' ');
    }
    return report;
}
