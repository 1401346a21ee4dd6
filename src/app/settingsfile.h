#pragma once

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>

#include <array>

// The settings file Config.Dat: fourteen decimal lines, each ended by CR LF, whose meaning is
// their position: the main window's left, top, width and height, eight panel sizes, the colour
// scheme and the text size.
namespace settingsfile {

inline constexpr int kLineCount = 14;
inline constexpr int kPanelCount = 8;
inline constexpr char kFileName[] = "Config.Dat";

struct Settings
{
    QRect window{0, 0, 1024, 720};
    // PanFlor, PanInfFlor, PanMemo, PanSupMemo, PanInfSint, PanDerSint, GrRep, PanDerRep.
    std::array<int, kPanelCount> panels{280, 154, 392, 236, 218, 395, 327, 296};
    quint8 scheme = 2;
    quint8 textSize = 10;
};

// The file's bytes for these settings.
QByteArray format(const Settings &settings);

// What a file held: the values of its first lines, in order, as far as they could be read, and
// why reading stopped before the fourteenth ("'x' is not a valid integer value", "List index
// out of bounds (13)"); empty when all fourteen were read.
struct Lines
{
    QList<int> values;
    QString error;
};
Lines parse(const QByteArray &bytes);

// Lays the first values over `settings`, line by line; the scheme and text size are taken
// modulo 256.
Settings apply(Settings settings, const QList<int> &values);

// Settings written on another screen layout, or edited by hand, brought back to something the
// user can see and reach: a window that no screen shows enough of is centred on the first
// screen at a size that fits it, and a panel size below `kMinimumPanel` or beyond the window
// takes its designed size.
inline constexpr int kMinimumPanel = 20;
inline constexpr int kVisibleMargin = 100;
Settings visible(Settings settings, const QList<QRect> &screens, const Settings &designed = Settings());

// Reads the file in `folder`. Nothing when there is none; a file that is not a regular file or
// cannot be read gives an error naming it.
struct FileRead
{
    bool exists = false;
    Lines lines;
};
FileRead read(const QString &folder);

// Writes the file in `folder` through a temporary file renamed over it, so that a failure or a
// crash leaves the old file whole. Returns an empty text, or why the file could not be written.
QString write(const QString &folder, const Settings &settings);

} // namespace settingsfile
