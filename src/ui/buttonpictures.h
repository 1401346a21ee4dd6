#pragma once

#include <QIcon>
#include <QPixmap>

#include <span>

class QWidget;

// Pictures for the buttons that show no caption, drawn here so that the program needs no
// picture files beside it.
enum class Picture {
    Help,
    Colours,
    LargerText,
    SmallerText,
    Exit,
    Add,
    Remove,
    Delete,
    Rename,
    AddToList,
    RemoveFromList,
    Copy,
    Paste,
    Open,
    Save,
    Trash,
    Process,
    Restart,
    Flower,
    Worksheet,
    Yes,
    No,
    Back,
    Print,
};

QPixmap drawPicture(Picture picture, int size);
QIcon pictureIcon(Picture picture);

struct ButtonPicture
{
    const char *button;
    Picture picture;
};

// Gives each button of the window named in the list its picture.
void setButtonPictures(QWidget *window, std::span<const ButtonPicture> pictures);
