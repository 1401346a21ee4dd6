#pragma once

class Catalogue;
class QString;

// Copies the selected symptoms and the result, naming the flowers by the result's field
// `nameField` as the result grid does, to the clipboard as text and says so. Neither view's
// cursor moves.
void BotCopiarClick(Catalogue &catalogue, const QString &nameField);
