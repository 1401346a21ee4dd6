#pragma once

#include <QPalette>

class QColor;
class QWidget;

// Gives a control one colour in one role, in every state, and has it paint its background.
void paintBackground(QWidget *control, QPalette::ColorRole role, const QColor &colour);

// Gives a control's text one colour.
void paintText(QWidget *control, const QColor &colour);
