#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

#include <csv.h>

#include <deque>

namespace tabletool {

struct CsvRow
{
    int linea = 0; // where the row begins, counting from 1
    QStringList campos;
};

// Reads an RFC 4180 file row by row: UTF-8 with or without a byte order mark, CRLF, LF or CR,
// quoted fields that hold commas, doubled quotes and line breaks. Blanks around fields are
// data. Blank lines are skipped. Faults throw CsvError naming the file and the row's line.
class CsvReader
{
public:
    // `nombre` is how messages call the file.
    CsvReader(const QString &ruta, const QString &nombre);
    ~CsvReader();
    CsvReader(const CsvReader &) = delete;
    CsvReader &operator=(const CsvReader &) = delete;

    // The next row; false at the end of the file.
    bool siguiente(CsvRow &fila);

    const QString &nombre() const { return m_nombre; }

private:
    static void alCampo(void *datos, size_t bytes, void *lector);
    static void alFinDeLinea(int caracter, void *lector);
    void leerBloque();
    [[noreturn]] void fallar(int linea, const QString &motivo) const;

    QFile m_archivo;
    QString m_nombre;
    csv_parser m_parser{};
    bool m_parserListo = false;
    bool m_terminado = false;
    bool m_primerBloque = true;

    std::deque<CsvRow> m_filas;
    QStringList m_campos;
    int m_linea = 1;       // line of the next character to come
    int m_inicioFila = 1;  // line where the row being read began
    bool m_trasCr = false; // the last thing seen was a CR ending a line
    int m_lineaError = 0;  // a fault found inside a callback, reported after the rows before it
    QString m_motivoError;
};

} // namespace tabletool
