#include "searchbox.h"

#include "catalogue/catalogue.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace {

// Letters become capitals as they are typed, accented ones included.
class Mayusculas : public QValidator
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

SearchBox::SearchBox(Catalogue &catalogue, const SearchControls &controles, QObject *parent)
    : QObject(parent), c(catalogue), w(controles)
{
    w.Ed->setValidator(new Mayusculas(w.Ed));
    connect(w.Ed, &QLineEdit::textChanged, this, &SearchBox::EdChange);
    connect(w.RGBus, &QButtonGroup::idClicked, this, &SearchBox::RGBusClick);
}

SearchBox::~SearchBox() = default;

int SearchBox::modo() const
{
    return std::max(0, w.RGBus->checkedId());
}

search::NameIndex &SearchBox::indice()
{
    // Built on the first search, when the tables are open; it follows the table from then on.
    if (!m_indice)
        m_indice = std::make_unique<search::NameIndex>(*c.TSint.table(), QStringLiteral("Nom"));
    return *m_indice;
}

bool SearchBox::TSintFilterRecord(store::Slot fila) const
{
    const store::Table &t = *c.TSint.table();
    return search::nameMatches(t.text(fila, t.fieldIndex(QStringLiteral("Nom"))), modo(), Palabras,
                                  w.Ed->text());
}

void SearchBox::EdChange()
{
    if (!c.TSint.isOpen())
        return;
    const int n = search::applySearch(c.TSint, indice(), modo(), w.Ed->text(), Palabras,
                                            [this](store::Slot s) { return TSintFilterRecord(s); });
    w.Agregar->setEnabled(n > 0);
    w.LabCantSint->setText(QStringLiteral("  Cantidad de Síntomas: %1").arg(n));
    if (TSintAfterScroll)
        TSintAfterScroll();
}

void SearchBox::RGBusClick()
{
    EdChange();
    w.Ed->setFocus();
}
