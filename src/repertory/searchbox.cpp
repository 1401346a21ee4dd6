#include "searchbox.h"

#include "catalogue/catalogue.h"

#include <QButtonGroup>
#include <QLineEdit>
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
}

SearchBox::~SearchBox() = default;

int SearchBox::mode() const
{
    return std::max(0, m_modes->checkedId());
}

search::NameIndex &SearchBox::nameIndex()
{
    // Built on the first search, when the tables are open; it follows the table from then on.
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

void SearchBox::RGBusClick()
{
    EdChange();
    m_edit->setFocus();
}
