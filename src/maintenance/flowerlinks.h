#pragma once

#include <QObject>

class Catalogue;

// Linking the selected symptoms to the current flower, and removing one link of it.
class FlowerLinks : public QObject
{
    Q_OBJECT
public:
    explicit FlowerLinks(Catalogue &catalogue, QObject *parent = nullptr);

    void BotAgrSintFlorClick();
    void ElimSintFlorClick();

private:
    Catalogue &m_catalogue;
};
