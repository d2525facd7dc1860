#pragma once

#include <QIcon>
#include <QPixmap>
#include <QSize>

namespace torvanelo {

// The program's pictures, drawn as SVG and kept as resources; they need the
// Qt SVG image format and icon engine plugins at run time.
enum class Picture {
    Start,          // Picture1: cmdMiroir while stopped
    Stop,           // Picture2: cmdMiroir while passes run
    Compress,       // PictureSet: grid, compressing pair
    Uncompress,     // PictureSetMod: grid, uncompressing pair
    CompressGrey,   // PictureSetGris: legend
    UncompressGrey, // PictureSetGrisMod: legend
    Mac,            // PictureMacRit: folder on a Macintosh volume
    Application,    // PictureApplication: PictureMode in application mode
    Service,        // PictureService: PictureMode in service mode
    Program,        // PictureTorvanelo: window and tray icon
    ArrowLeft,      // picFleche1
    ArrowRight,     // picFleche2
};

QIcon pictureIcon(Picture picture);

// The tray icon: the program's picture with a badge for the state of the
// passes (none while stopped, a green disc in a pass, a blue bar while
// waiting) and a red mark over it while a warning stands.
enum class TrayState { Stopped, Waiting, InPass };
QIcon trayPicture(TrayState state, bool warning);
// The picture drawn at the given size (device-independent pixels) for a
// screen of the given pixel ratio.
QPixmap picturePixmap(Picture picture, QSize size, qreal devicePixelRatio = 1.0);

// The size of the mode pictures in the grid and the legend (twice as wide as
// high), and of the Macintosh picture.
inline constexpr QSize ModePictureSize(48, 24);
inline constexpr QSize MacPictureSize(16, 16);

} // namespace torvanelo
