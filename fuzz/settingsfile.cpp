// The settings file of any bytes: reading it must never crash or overflow; it yields up to
// fourteen values and a reason exactly when it yields fewer, a reason that quotes no more than
// a short piece of the file; the values laid over the designed layout write back to a file that
// reads the same; and whatever they are, the layout brought back to the screen can be seen.
#include "app/settingsfile.h"
#include "fuzzfile.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr qsizetype kLongestReason = 120;

// Enough of the window on one of the screens, and no panel folded away.
bool seen(const settingsfile::Settings &s, const QList<QRect> &screens)
{
    for (const int panel : s.panels)
        if (panel < settingsfile::kMinimumPanel)
            return false;
    for (const QRect &screen : screens) {
        const QRect shown = s.window.intersected(screen);
        if (shown.width() >= settingsfile::kVisibleMargin && shown.height() >= settingsfile::kVisibleMargin)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const settingsfile::Lines lines = settingsfile::parse(bytes);
    if (lines.values.size() > settingsfile::kLineCount)
        std::abort();
    if (lines.error.isEmpty() != (lines.values.size() == settingsfile::kLineCount))
        std::abort();
    if (lines.error.size() > kLongestReason)
        std::abort();

    // Read through the file, as the program reads it.
    const QByteArray path = fuzzFile("Config.Dat", bytes);
    const settingsfile::FileRead file = settingsfile::read(QFileInfo(QFile::decodeName(path)).path());
    if (!file.exists || file.lines.values != settingsfile::parse(bytes.left(4096)).values)
        std::abort();

    const settingsfile::Settings applied = settingsfile::apply(settingsfile::Settings(), lines.values);
    const QByteArray written = settingsfile::format(applied);
    const settingsfile::Lines back = settingsfile::parse(written);
    if (!back.error.isEmpty() || settingsfile::format(settingsfile::apply(settingsfile::Settings(), back.values)) != written)
        std::abort();

    const QList<QRect> one{QRect(0, 0, 1920, 1080)};
    const QList<QRect> two{QRect(0, 0, 1920, 1080), QRect(1920, -200, 1280, 1024)};
    const settingsfile::Settings alone = settingsfile::visible(applied, one);
    if (!seen(alone, one) || alone.window.width() > 1920 || alone.window.height() > 1080)
        std::abort();
    if (!seen(settingsfile::visible(applied, two), two))
        std::abort();
    return 0;
}
