#pragma once

#include <QFile>
#include <QMap>
#include <QString>
#include <QStringList>

// One case of the external GIF suite: its INI-style description, section by
// section (keys of [config] and of each frame section).
struct SuiteCase {
    QString name;
    QMap<QString, QMap<QString, QString>> sections;

    QString config(const QString& key) const { return sections.value("config").value(key); }
    bool has(const QString& key) const { return sections.value("config").contains(key); }
    QStringList frames() const {
        QStringList out;
        for (const QString& f : config("frames").split(',', Qt::SkipEmptyParts)) out << f.trimmed();
        return out;
    }
};

inline SuiteCase readSuiteCase(const QString& folder, const QString& name) {
    SuiteCase c;
    c.name = name;
    QFile file(folder + "/" + name + ".conf");
    if (!file.open(QIODevice::ReadOnly)) return c;
    QString section;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            section = line.mid(1, line.size() - 2);
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq > 0) c.sections[section][line.left(eq).trimmed()] = line.mid(eq + 1).trimmed();
    }
    return c;
}

// A Python string literal ('...' with \xNN, \n, \\ and \' escapes) as bytes.
inline QByteArray pythonLiteral(const QString& literal) {
    const QByteArray in = literal.toUtf8();
    QByteArray out;
    for (qsizetype i = 1; i + 1 < in.size(); ++i) {
        if (in[i] != '\\') {
            out.append(in[i]);
            continue;
        }
        const char next = in[++i];
        if (next == 'x') {
            out.append(char(in.mid(i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else if (next == 'n') {
            out.append('\n');
        } else if (next == 't') {
            out.append('\t');
        } else if (next == 'r') {
            out.append('\r');
        } else {
            out.append(next);
        }
    }
    return out;
}

inline QStringList suiteCaseNames(const QString& folder) {
    QFile file(folder + "/TESTS");
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}
