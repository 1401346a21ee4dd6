#include "searchbox.h"

#include "catalogue/catalogue.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QValidator>

namespace {

// Letters become capitals as they are typed, accented ones included.
class UpperCase : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        input = input.toUpper();
        return Acceptable;
    }
};

} // namespace

SearchBox::SearchBox(Catalogue &catalogue, QLineEdit *Ed, QButtonGroup *RGBus, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_edit(Ed), m_modes(RGBus)
{
    m_edit->setValidator(new UpperCase(m_edit));
    connect(m_edit, &QLineEdit::textChanged, this, &SearchBox::EdChange);
    connect(m_modes, &QButtonGroup::idClicked, this, &SearchBox::RGBusClick);
    m_edit->installEventFilter(this);
    for (QAbstractButton *button : m_modes->buttons())
        button->installEventFilter(this);
    // The names are folded for searching as soon as the symptoms are read, while the program
    // starts: the larger link table is still loading then, on a thread of its own, and the
    // first visit to the page need not wait for the folding.
    connect(&m_catalogue.TSint, &store::View::stateChanged, this, [this] {
        if (m_catalogue.TSint.isOpen())
            nameIndex();
    });
}

SearchBox::~SearchBox() = default;

int SearchBox::mode() const
{
    return std::max(0, m_modes->checkedId());
}

search::NameIndex &SearchBox::nameIndex()
{
    // Built once the tables are open; it follows the table from then on.
    if (!m_index)
        m_index = std::make_unique<search::NameIndex>(*m_catalogue.TSint.table(), QStringLiteral("Nom"));
    return *m_index;
}

bool SearchBox::TSintFilterRecord(store::Slot row) const
{
    const store::Table &t = *m_catalogue.TSint.table();
    return search::nameMatches(t.text(row, t.fieldIndex(QStringLiteral("Nom"))), mode(), Palabras, m_edit->text());
}

void SearchBox::EdChange()
{
    if (!m_catalogue.TSint.isOpen())
        return;
    const int count = search::applySearch(m_catalogue.TSint, nameIndex(), mode(), m_edit->text(), Palabras,
                                          [this](store::Slot s) { return TSintFilterRecord(s); });
    emit searchApplied(count);
}

bool SearchBox::eventFilter(QObject *watched, QEvent *event)
{
    if (m_passingOn)
        return false;
    const QScopedValueRollback<bool> passing(m_passingOn, true);
    if (watched == m_edit && event->type() == QEvent::FocusIn) {
        // The line edit selects its whole text when entered by Tab, Shift+Tab or a shortcut,
        // and the next key would then wipe the words typed so far: it gets the focus as from
        // any other cause, and the text and cursor stay as they were.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason) {
            QFocusEvent plain(QEvent::FocusIn, Qt::OtherFocusReason);
            QCoreApplication::sendEvent(m_edit, &plain);
            return true;
        }
    } else if (event->type() == QEvent::KeyPress && watched != m_edit) {
        // An arrow key chooses the next mode, then moves the focus to that mode's button, after
        // the choice has put it in the box: the box takes it back, as it does after a click.
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down) {
            const int before = m_modes->checkedId();
            QCoreApplication::sendEvent(watched, event);
            if (m_modes->checkedId() != before)
                m_edit->setFocus();
            return true;
        }
    }
    return false;
}

void SearchBox::RGBusClick()
{
    EdChange();
    m_edit->setFocus();
}
