#include "local_clock.h"

#include <chrono>
#include <ctime>

namespace {

struct Second {
    std::time_t at = -1;
    char text[24] = {};  // "yyyy-mm-ddThh:mm:ss"
};

// The calendar text of the current second, and the milliseconds past it.
const Second &current(int *ms) {
    thread_local Second cached;
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    if (seconds != cached.at) {
        std::tm local{};
        localtime_r(&seconds, &local);  // unlike Qt's conversions, no time zone file check per call
        std::strftime(cached.text, sizeof cached.text, "%Y-%m-%dT%H:%M:%S", &local);
        cached.at = seconds;
    }
    if (ms) *ms = int(std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return cached;
}

}  // namespace

namespace LocalClock {

void appendLogStamp(QByteArray &out) {
    int ms = 0;
    const Second &s = current(&ms);
    const char fraction[4] = {'.', char('0' + ms / 100), char('0' + ms / 10 % 10), char('0' + ms % 10)};
    out.append(s.text, 19);
    out.append(fraction, 4);
}

QString secondText() {
    QString t = QString::fromLatin1(current(nullptr).text, 19);
    t[10] = QLatin1Char(' ');
    return t;
}

}  // namespace LocalClock
