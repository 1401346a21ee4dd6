#pragma once

namespace Ui {
class TForm1;
}
class Catalogo;

// Which fields each grid and each box of the main window shows.
void enlazarControles(Ui::TForm1 &ui, Catalogo &catalogo);
