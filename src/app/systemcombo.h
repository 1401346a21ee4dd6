#pragma once

#include <QComboBox>

// The flower-system list of the toolbar. Besides the chosen entry it can show a text of its
// own ("Sistema Floral" before any choice, "Seleccione" while the symptoms page has lifted
// the system filter) without changing which entry is selected. The user's next pick shows
// that entry again.
class SystemCombo : public QComboBox
{
    Q_OBJECT
    Q_PROPERTY(QString shownText READ shownText WRITE setShownText)

public:
    explicit SystemCombo(QWidget *parent = nullptr);

    // The text on the box: the text of its own if one is set, otherwise the chosen entry.
    QString shownText() const;
    void setShownText(const QString &text);
    // The one flower system the box shows chosen (1 to 13), or 0 while it shows "TODOS" or a
    // text of its own.
    int chosenSystem() const;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString ownText;
};
