#pragma once

namespace Ui {
class TForm1;
}
class Catalogue;

// Which fields each grid and each box of the main window shows.
void bindControls(Ui::TForm1 &ui, Catalogue &catalogue);
