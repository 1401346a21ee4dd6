#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "tablefolder.h"
#include "store/codepage.h"
#include "csvreader.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tabletool {
namespace {

struct Flor
{
    qint32 clave = 0;
    QString tipo;
    QString nom[3];
    QString memo[3];
    QByteArray foto;
};

struct Sintoma
{
    qint32 clave = 0;
    QString nom;
    std::optional<qint32> orden;
};

struct Enlace
{
    qint32 kflor = 0;
    qint32 ksint = 0;
    std::optional<qint32> osint;
};

// An optionally signed decimal integer, nothing else: no blanks, no decimals, no exponent.
std::optional<qint64> leerEntero(const QString &texto, bool admiteSigno)
{
    qsizetype i = 0;
    bool negativo = false;
    if (admiteSigno && !texto.isEmpty() && (texto[0] == QLatin1Char('-') || texto[0] == QLatin1Char('+'))) {
        negativo = texto[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == texto.size())
        return std::nullopt;
    qint64 valor = 0;
    for (; i < texto.size(); ++i) {
        const char16_t c = texto[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        valor = valor * 10 + (c - '0');
        if (valor > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    return negativo ? -valor : valor;
}

// One CSV file being read: its header is checked on opening, and every fault names the row.
class Lectura
{
public:
    Lectura(const QString &carpetaCsv, const QString &nombre, const QStringList &cabecera)
        : m_csv(QDir(carpetaCsv).filePath(nombre), nombre), m_cabecera(cabecera)
    {
        if (!m_csv.siguiente(m_fila))
            throw CsvError(nombre, 1, QStringLiteral("el archivo está vacío; la primera línea debe ser «%1»")
                                          .arg(cabecera.join(QLatin1Char(','))));
        if (m_fila.campos != cabecera)
            fallar(QStringLiteral("la cabecera debe ser «%1» y es «%2»")
                       .arg(cabecera.join(QLatin1Char(',')), m_fila.campos.join(QLatin1Char(','))));
    }

    bool siguiente()
    {
        if (!m_csv.siguiente(m_fila))
            return false;
        if (m_fila.campos.size() != m_cabecera.size())
            fallar(QStringLiteral("la fila tiene %1 campos y deben ser %2 (%3)")
                       .arg(m_fila.campos.size())
                       .arg(m_cabecera.size())
                       .arg(m_cabecera.join(QLatin1Char(','))));
        return true;
    }

    int linea() const { return m_fila.linea; }
    const QString &campo(int i) const { return m_fila.campos[i]; }

    [[noreturn]] void fallar(const QString &motivo) const { throw CsvError(m_csv.nombre(), m_fila.linea, motivo); }

    qint32 clave(int i)
    {
        const std::optional<qint64> n = leerEntero(campo(i), false);
        if (!n || *n < 1 || *n > std::numeric_limits<qint32>::max())
            fallar(QStringLiteral("%1 «%2» no es un número entero positivo de 32 bits").arg(m_cabecera[i], campo(i)));
        return qint32(*n);
    }

    std::optional<qint32> enteroOpcional(int i)
    {
        if (campo(i).isEmpty())
            return std::nullopt;
        const std::optional<qint64> n = leerEntero(campo(i), true);
        if (!n || *n < std::numeric_limits<qint32>::min() || *n > std::numeric_limits<qint32>::max())
            fallar(QStringLiteral("%1 «%2» no es un número entero de 32 bits").arg(m_cabecera[i], campo(i)));
        return qint32(*n);
    }

    // A field's text, checked against what the table can hold; `tamano` 0 for a memo.
    QString texto(int i, int tamano)
    {
        QString t = campo(i);
        const QString &nombre = m_cabecera[i];
        const bool memo = tamano == 0;
        if (const qsizetype p = caracterDeControl(t, memo); p >= 0)
            fallar(t[p] == QLatin1Char('\n') || t[p] == QLatin1Char('\r')
                       ? QStringLiteral("el campo %1 no admite saltos de línea").arg(nombre)
                       : QStringLiteral("el campo %1 contiene un carácter de control (%2)")
                             .arg(nombre, describirCaracter(t, p)));
        if (const qsizetype p = codepage::firstOutside(t); p >= 0)
            fallar(QStringLiteral("el campo %1 contiene %2, que no se puede guardar: los textos solo "
                                  "admiten los caracteres de Windows-1252")
                       .arg(nombre, describirCaracter(t, p)));
        if (!memo && t.size() > tamano)
            fallar(QStringLiteral("el campo %1 tiene %2 caracteres y admite %3").arg(nombre).arg(t.size()).arg(tamano));
        if (memo && t.contains(QLatin1Char('\r'))) {
            t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        return t;
    }

    // The picture named by a field, as PNG bytes; empty when the field is.
    QByteArray foto(int i, const QString &carpetaCsv)
    {
        const QString nombre = campo(i);
        if (nombre.isEmpty())
            return {};
        const QString ruta = QDir(carpetaCsv).filePath(nombre);
        const QFileInfo info(ruta);
        if (!info.exists())
            fallar(QStringLiteral("no se encuentra la foto %1").arg(nombre));
        if (!info.isFile() || !info.isReadable())
            fallar(QStringLiteral("no se puede leer la foto %1").arg(nombre));
        QImageReader lector(ruta);
        lector.setDecideFormatFromContent(true);
        const QImage imagen = lector.read();
        if (imagen.isNull())
            fallar(QStringLiteral("la foto %1 no es una imagen que el programa sepa leer (%2)")
                       .arg(nombre, lector.errorString()));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!imagen.save(&buffer, "PNG"))
            fallar(QStringLiteral("no se puede convertir la foto %1 a PNG").arg(nombre));
        return png;
    }

private:
    CsvReader m_csv;
    QStringList m_cabecera;
    CsvRow m_fila;
};

const QStringList kCabeceraFlores{QStringLiteral("Clave"), QStringLiteral("Tipo"),  QStringLiteral("Nom1"),
                                  QStringLiteral("Nom2"),  QStringLiteral("Nom3"),  QStringLiteral("Memo1"),
                                  QStringLiteral("Memo2"), QStringLiteral("Memo3"), QStringLiteral("Foto")};
const QStringList kCabeceraSintomas{QStringLiteral("Clave"), QStringLiteral("Nom"), QStringLiteral("Orden")};
const QStringList kCabeceraRel{QStringLiteral("KFlor"), QStringLiteral("KSint"), QStringLiteral("OSint")};

std::vector<Flor> leerFlores(const QString &carpetaCsv)
{
    const int tamanoNombre = catalogue::floresDef().fields[2].size;
    std::vector<Flor> flores;
    std::unordered_set<qint32> claves;
    Lectura csv(carpetaCsv, QStringLiteral("Flores.csv"), kCabeceraFlores);
    while (csv.siguiente()) {
        Flor f;
        f.clave = csv.clave(0);
        if (!claves.insert(f.clave).second)
            csv.fallar(QStringLiteral("la flor %1 está repetida").arg(f.clave));
        f.tipo = csv.campo(1);
        if (!tipoValido(f.tipo))
            csv.fallar(QStringLiteral("Tipo «%1» no es un sistema de flores: debe ser un número de 1 a 13").arg(f.tipo));
        for (int n = 0; n < 3; ++n)
            f.nom[n] = csv.texto(2 + n, tamanoNombre);
        for (int n = 0; n < 3; ++n)
            f.memo[n] = csv.texto(5 + n, 0);
        f.foto = csv.foto(8, carpetaCsv);
        flores.push_back(std::move(f));
    }
    return flores;
}

std::vector<Sintoma> readSymptoms(const QString &carpetaCsv, std::unordered_set<qint32> &claves)
{
    const int tamanoNom = catalogue::sintomasDef().fields[1].size;
    std::vector<Sintoma> sintomas;
    Lectura csv(carpetaCsv, QStringLiteral("Sintomas.csv"), kCabeceraSintomas);
    while (csv.siguiente()) {
        Sintoma s;
        s.clave = csv.clave(0);
        if (!claves.insert(s.clave).second)
            csv.fallar(QStringLiteral("el síntoma %1 está repetido").arg(s.clave));
        s.nom = csv.texto(1, tamanoNom);
        s.orden = csv.enteroOpcional(2);
        sintomas.push_back(std::move(s));
    }
    return sintomas;
}

std::vector<Enlace> leerEnlaces(const QString &carpetaCsv, const std::unordered_set<qint32> &flores,
                                const std::unordered_set<qint32> &sintomas)
{
    const QString nombre = QStringLiteral("Rel.csv");
    std::vector<Enlace> enlaces;
    std::vector<int> lineas;
    // A fault in a row waits until the repeated links above it have been looked for, so that
    // the first fault in the file is the one reported.
    std::optional<CsvError> fallo;
    try {
        Lectura csv(carpetaCsv, nombre, kCabeceraRel);
        while (csv.siguiente()) {
            Enlace e;
            e.kflor = csv.clave(0);
            e.ksint = csv.clave(1);
            e.osint = csv.enteroOpcional(2);
            if (!flores.count(e.kflor))
                csv.fallar(QStringLiteral("la flor %1 no existe").arg(e.kflor));
            if (!sintomas.count(e.ksint))
                csv.fallar(QStringLiteral("el síntoma %1 no existe").arg(e.ksint));
            enlaces.push_back(e);
            lineas.push_back(csv.linea());
        }
    } catch (const CsvError &e) {
        if (e.archivo() != nombre)
            throw;
        fallo = e;
    }

    // Pairs sorted with their rows: a repeated pair sits next to its first appearance.
    std::vector<std::pair<quint64, std::size_t>> pares;
    pares.reserve(enlaces.size());
    for (std::size_t i = 0; i < enlaces.size(); ++i)
        pares.emplace_back(quint64(quint32(enlaces[i].kflor)) << 32 | quint32(enlaces[i].ksint), i);
    std::sort(pares.begin(), pares.end());
    std::size_t repetido = enlaces.size();
    std::size_t original = 0;
    for (std::size_t i = 1; i < pares.size(); ++i)
        if (pares[i].first == pares[i - 1].first && pares[i].second < repetido) {
            repetido = pares[i].second;
            original = pares[i - 1].second;
        }
    if (repetido < enlaces.size())
        throw CsvError(nombre, lineas[repetido],
                       QStringLiteral("el enlace de la flor %1 con el síntoma %2 está repetido (ya está en la línea %3)")
                           .arg(enlaces[repetido].kflor)
                           .arg(enlaces[repetido].ksint)
                           .arg(lineas[original]));
    if (fallo)
        throw *fallo;
    return enlaces;
}

void bindTexto(store::Statement &st, int i, const QString &texto)
{
    if (texto.isEmpty())
        st.bindNull(i);
    else
        st.bindText(i, texto);
}

void bindEntero(store::Statement &st, int i, const std::optional<qint32> &valor)
{
    if (valor)
        st.bindInt(i, *valor);
    else
        st.bindNull(i);
}

// All rows of one table in one transaction, through one prepared statement.
template <typename Fila, typename Atar>
void cargar(NewTableFolder &nueva, const store::TableDef &def, const std::vector<Fila> &filas, Atar atar)
{
    store::TableFile table = nueva.crear(def);
    {
        store::Statement st = table.prepare(sqlInsertar(def));
        table.begin();
        for (const Fila &fila : filas) {
            atar(st, fila);
            st.run();
        }
        table.commit();
    }
    nueva.terminar(table);
}

} // namespace

void importCsv(const QString &carpetaCsv, const QString &carpeta)
{
    comprobarDestinoLibre(carpeta);
    if (!QFileInfo(carpetaCsv).isDir())
        throw store::Error(QStringLiteral("No se encuentra la carpeta %1").arg(carpetaCsv));

    const std::vector<Flor> flores = leerFlores(carpetaCsv);
    std::unordered_set<qint32> clavesFlores;
    for (const Flor &f : flores)
        clavesFlores.insert(f.clave);
    std::unordered_set<qint32> clavesSintomas;
    const std::vector<Sintoma> sintomas = readSymptoms(carpetaCsv, clavesSintomas);
    const std::vector<Enlace> enlaces = leerEnlaces(carpetaCsv, clavesFlores, clavesSintomas);

    NewTableFolder nueva(carpeta);
    cargar(nueva, catalogue::floresDef(), flores, [](store::Statement &st, const Flor &f) {
        st.bindInt(1, f.clave);
        st.bindText(2, f.tipo);
        for (int n = 0; n < 3; ++n)
            bindTexto(st, 3 + n, f.nom[n]);
        for (int n = 0; n < 3; ++n)
            bindTexto(st, 6 + n, f.memo[n]);
        if (f.foto.isEmpty())
            st.bindNull(9);
        else
            st.bindBlob(9, f.foto);
    });
    cargar(nueva, catalogue::sintomasDef(), sintomas, [](store::Statement &st, const Sintoma &s) {
        st.bindInt(1, s.clave);
        bindTexto(st, 2, s.nom);
        bindEntero(st, 3, s.orden);
    });
    cargar(nueva, catalogue::relDef(), enlaces, [](store::Statement &st, const Enlace &e) {
        st.bindInt(1, e.kflor);
        st.bindInt(2, e.ksint);
        bindEntero(st, 3, e.osint);
    });
    nueva.instalar();
}

} // namespace tabletool
