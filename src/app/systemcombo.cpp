#include "systemcombo.h"

#include <QStyleOptionComboBox>
#include <QStylePainter>

SystemCombo::SystemCombo(QWidget *parent) : QComboBox(parent)
{
    // Connected before anyone else, so that handlers of the pick already see the entry.
    connect(this, &QComboBox::activated, this, [this] { setShownText({}); });
}

QString SystemCombo::shownText() const
{
    return ownText.isEmpty() ? currentText() : ownText;
}

void SystemCombo::setShownText(const QString &text)
{
    ownText = text;
    update();
}

int SystemCombo::chosenSystem() const
{
    return ownText.isEmpty() ? std::max(0, currentIndex()) : 0;
}

void SystemCombo::paintEvent(QPaintEvent *event)
{
    if (ownText.isEmpty()) {
        QComboBox::paintEvent(event);
        return;
    }
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    option.currentText = ownText;
    option.currentIcon = QIcon();
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}
