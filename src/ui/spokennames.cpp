#include "spokennames.h"

#include <QAction>
#include <QToolButton>
#include <QWidget>

void nameControl(QWidget *control, const char *name, const char *description)
{
    if (!control)
        return;
    control->setAccessibleName(QString::fromUtf8(name));
    control->setAccessibleDescription(QString::fromUtf8(description));
}

void nameByObjectName(QWidget &window, std::span<const SpokenName> names)
{
    for (const SpokenName &spoken : names)
        for (QWidget *control : window.findChildren<QWidget *>(QLatin1String(spoken.key)))
            nameControl(control, spoken.name, spoken.description);
}

void nameByActionText(QWidget &window, std::span<const SpokenName> names)
{
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        const QAction *action = button->defaultAction();
        if (!action)
            continue;
        for (const SpokenName &spoken : names)
            if (action->text() == QLatin1String(spoken.key))
                nameControl(button, spoken.name, spoken.description);
    }
}
