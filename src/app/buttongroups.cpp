#include "buttongroups.h"

#include <QAbstractButton>
#include <QButtonGroup>

void numberButtons(QButtonGroup *group, int first)
{
    int id = first;
    for (QAbstractButton *button : group->buttons())
        group->setId(button, id++);
}
