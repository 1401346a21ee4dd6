#include "buscador.h"

#include "catalogue/catalogo.h"

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

Buscador::Buscador(Catalogo &catalogo, const ControlesBusqueda &controles, QObject *parent)
    : QObject(parent), c(catalogo), w(controles)
{
    w.Ed->setValidator(new Mayusculas(w.Ed));
    connect(w.Ed, &QLineEdit::textChanged, this, &Buscador::EdChange);
    connect(w.RGBus, &QButtonGroup::idClicked, this, &Buscador::RGBusClick);
}

Buscador::~Buscador() = default;

int Buscador::modo() const
{
    return std::max(0, w.RGBus->checkedId());
}

busqueda::IndiceNombres &Buscador::indice()
{
    // Built on the first search, when the tables are open; it follows the table from then on.
    if (!m_indice)
        m_indice = std::make_unique<busqueda::IndiceNombres>(*c.TSint.table(), QStringLiteral("Nom"));
    return *m_indice;
}

bool Buscador::TSintFilterRecord(store::Slot fila) const
{
    const store::Table &t = *c.TSint.table();
    return busqueda::aceptaNombre(t.text(fila, t.fieldIndex(QStringLiteral("Nom"))), modo(), Palabras,
                                  w.Ed->text());
}

void Buscador::EdChange()
{
    if (!c.TSint.isOpen())
        return;
    const int n = busqueda::aplicarBusqueda(c.TSint, indice(), modo(), w.Ed->text(), Palabras,
                                            [this](store::Slot s) { return TSintFilterRecord(s); });
    w.Agregar->setEnabled(n > 0);
    w.LabCantSint->setText(QStringLiteral("  Cantidad de Síntomas: %1").arg(n));
    if (TSintAfterScroll)
        TSintAfterScroll();
}

void Buscador::RGBusClick()
{
    EdChange();
    w.Ed->setFocus();
}
