#pragma once

class QButtonGroup;

// Numbers the buttons of a group in the order they were added, from the first number on, so
// that a group is read by number: the language buttons by language, the others by position.
void numberButtons(QButtonGroup *group, int first);
