#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

// The light blue-grey of an active caption's gradient: the splash window's background, and the
// colour of fixed grid cells.
inline constexpr QColor kActiveCaptionGradient{185, 209, 234};

// Size of the logo on the splash window and on the start page.
inline constexpr int kLogoWidth = 340;
inline constexpr int kLogoHeight = 227;

// The logo: a five-petal flower with a drop over the name, on a soft gradient. Drawn here
// rather than shipped as a file so it scales and cannot go missing. These draw text, so they
// need a QGuiApplication.
QImage drawLogo();

// A compact logo (flower beside the name) of the given height on a transparent background,
// for the toolbar.
QImage drawSmallLogo(int height);

// The flower alone at the usual icon sizes.
QIcon applicationIcon();
