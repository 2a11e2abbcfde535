#pragma once
// An IPTC block of a JPEG file (the APP13 section written by image editors). The reader
// keeps its data sets; nothing else in the program uses them yet.
#include <QByteArray>
#include <QList>

struct TIPTCDataSet
{
    quint8 Record = 0;  // e.g. 2 for the application record
    quint8 DataSet = 0; // e.g. 120 for the caption
    QByteArray Value;
};

class TIPTCdata
{
public:
    // Reads the data of an APP13 section: "Photoshop 3.0", a zero byte, then resource
    // blocks; the IPTC data sets lie in resource 0x0404. A damaged block keeps the data
    // sets read before the damage.
    static TIPTCdata fromSection(const QByteArray &app13Data);

    const QList<TIPTCDataSet> &dataSets() const { return m_dataSets; }

private:
    void readDataSets(const uchar *data, quint32 size);

    QList<TIPTCDataSet> m_dataSets;
};
