#pragma once

class Catalogue;
class QString;
class QWidget;

// Prints the processed case as the repertory page shows it, the flowers named by the result's
// field `nameField` under the title `nameTitle`; `patient` is offered as the patient's name.
// Neither view's cursor moves.
void printRepertory(const Catalogue &catalogue, const QString &nameField, const QString &nameTitle,
                    const QString &patient, QWidget *parent);
