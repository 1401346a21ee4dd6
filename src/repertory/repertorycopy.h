#pragma once

class Catalogue;
class DataGrid;

// Copies the selected symptoms and the result, as the result grid names the flowers, to the
// clipboard as text and says so. Neither view's cursor moves.
void BotCopiarClick(Catalogue &catalogue, const DataGrid &GrRepF);
