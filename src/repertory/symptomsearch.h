#pragma once

#include "store/table.h"
#include "store/view.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>

#include <vector>

// Finding symptoms by the words typed in the search box.
namespace search {

enum Mode { Nearest = 0, AnyWord = 1, AllWords = 2, Exact = 3 };

// The words of the text: blanks separate them, nothing else does (a tab belongs to a word).
void SepararPalabras(const QString &texto, QStringList &words);

// Folds a symptom name for searching: lower-case accented vowels become plain capitals, ñ
// becomes Ñ and a to z become capitals; every other character stays as it is.
void NormalizarTexto(QString &texto);

// Whether one symptom name passes the search. `texto` is the whole text of the box, used by
// the exact mode; the words and the text are compared as typed, character by character.
bool nameMatches(const QString &nombre, int modo, const QStringList &words, const QString &texto);

// The folded names of every symptom in one buffer that follows the table's changes, so that a
// search is a few passes of a substring scan instead of one fold per symptom. Its results are
// exactly those of nameMatches.
class NameIndex : public QObject
{
    Q_OBJECT
public:
    NameIndex(store::Table &sintomas, const QString &campo, QObject *parent = nullptr);

    // The rows whose names pass, in no particular order. Modes other than 1 to 3 pass all.
    std::vector<store::Slot> find(int modo, const QStringList &words, const QString &texto);

    // The buffer of folded names, for measuring a bare scan against the search.
    const QByteArray &buffer() const { return m_buffer; }

private:
    struct Entrada
    {
        quint32 inicio;
        quint32 largo;
        store::Slot fila;
    };
    struct Consulta
    {
        int modo = -1;
        QStringList words;
        QString texto;
        std::vector<store::Slot> resultado;
    };
    // The rows that hold each word of the last search: the next keystroke mostly repeats or
    // lengthens them, and a longer word is found only among the rows of its beginning.
    struct Apariciones
    {
        QByteArray palabra;
        std::vector<store::Slot> filas;
    };

    void reconstruir();
    void agregar(store::Slot s);
    void quitar(store::Slot s);
    void olvidarConsulta()
    {
        m_ultima.modo = -1;
        m_apariciones.clear();
    }
    bool estrecha(int modo, const QStringList &words, const QString &texto) const;
    std::vector<store::Slot> recorrer(const QByteArray &palabra);
    // The rows holding a word, from the last search's rows where it can.
    const std::vector<store::Slot> &filasCon(const QByteArray &palabra, std::vector<Apariciones> &nuevas);
    void recordar(std::vector<Apariciones> &&nuevas);
    bool contiene(store::Slot s, const QByteArray &palabra) const;
    std::vector<store::Slot> filtrar(int modo, const std::vector<QByteArray> &words,
                                     const std::vector<store::Slot> &candidatas) const;

    store::Table &m_tabla;
    int m_campo;
    QByteArray m_buffer;            // every name folded, each ended by a zero byte
    std::vector<Entrada> m_entradas; // by position in the buffer
    std::vector<qint64> m_entradaDe; // entry of each row, -1 when it has none
    std::size_t m_muertos = 0;       // bytes of names replaced or removed
    Consulta m_ultima;
    std::vector<Apariciones> m_apariciones;
};

// Applies a search to the symptom view as the search box does on every change: in the first
// mode it shows every symptom and moves to the nearest name; otherwise it splits the words
// into `words` and lets through the names that pass. `prueba` is the per-row test the view
// keeps for rows that change later. Returns how many symptoms show.
int applySearch(store::View &sintomas, NameIndex &indice, int modo, const QString &texto,
                    QStringList &words, store::FilterFunction prueba);

} // namespace search
