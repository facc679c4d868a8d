// Fills the manual page and the shell completion from the program's own
// option table, so neither can list an option the program does not take.
//   corvane-write-option-docs manual TEMPLATE OUTPUT VERSION DATE
//   corvane-write-option-docs completion TEMPLATE OUTPUT
#include "headless/options.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <cstdio>

namespace {

// Text for a roff line: backslashes and hyphens kept as they are, and no
// line that roff would take for a request.
QString Roff(const QString& text) {
    QString out = text;
    out.replace(u'\\', QStringLiteral("\\e"));
    out.replace(u'-', QStringLiteral("\\-"));
    if (out.startsWith(u'.') || out.startsWith(u'\'')) {
        out.prepend(QStringLiteral("\\&"));
    }
    return out;
}

QString Bold(const QString& text) {
    return QStringLiteral("\\fB") + Roff(text) + QStringLiteral("\\fR");
}

QString Italic(const QString& text) {
    return QStringLiteral("\\fI") + Roff(text) + QStringLiteral("\\fR");
}

// A form of the command: names and options bold, placeholders italic.
QString SynopsisLine(const QString& form) {
    QStringList words;
    static const QRegularExpression WORD(QStringLiteral("^([\\[]*)([^\\[\\].]*)(\\.*)([\\]]*)$"));
    for (const QString& word : form.split(u' ')) {
        const QRegularExpressionMatch part = WORD.match(word);
        if (!part.hasMatch()) {
            words.append(Roff(word));
            continue;
        }
        const QString core = part.captured(2);
        const bool placeholder = !core.isEmpty() && core == core.toUpper() && core[0].isLetter();
        const QString shown = core.isEmpty() || core == QStringLiteral("|") ? Roff(core)
                              : placeholder                                 ? Italic(core)
                                                                            : Bold(core);
        words.append(part.captured(1) + shown + part.captured(3) + part.captured(4));
    }
    return words.join(u' ');
}

QString Synopsis() {
    QStringList lines;
    for (const QString& form : UsageForms()) {
        lines.append(SynopsisLine(form));
    }
    return lines.join(QStringLiteral("\n.br\n"));
}

QString OptionLabel(const CommandLineOption& option) {
    const QString value =
        option.valueName != nullptr ? u' ' + Italic(QLatin1String(option.valueName)) : QString();
    QString label = Bold(QLatin1String(option.name)) + value;
    if (option.shortName != nullptr) {
        label += QStringLiteral(", ") + Bold(QLatin1String(option.shortName)) + value;
    }
    return label;
}

QString ManualOptions() {
    QStringList lines;
    for (const CommandLineOption& option : CommandLineOptions()) {
        lines << QStringLiteral(".TP") << OptionLabel(option);
        const QStringList paragraphs = OptionHelp(option).split(u'\n');
        for (qsizetype i = 0; i < paragraphs.size(); ++i) {
            if (i > 0) {
                lines << QStringLiteral(".IP");
            }
            lines << Roff(paragraphs[i]);
        }
    }
    return lines.join(u'\n');
}

QString ExitStatus() {
    QStringList lines;
    for (const ExitCodeMeaning& exit : ExitCodeMeanings()) {
        lines << QStringLiteral(".TP") << Bold(QString::number(exit.code))
              << Roff(QString::fromUtf8(exit.meaning));
    }
    return lines.join(u'\n');
}

// The options that take a value of `valueKind` ("FILE", "DIR", or empty for
// any other), as one case pattern of the completion.
QString CasePattern(const QString& valueKind) {
    QStringList names;
    for (const CommandLineOption& option : CommandLineOptions()) {
        if (option.valueName == nullptr) {
            continue;
        }
        const QString value = QLatin1String(option.valueName);
        const bool other = value != QStringLiteral("FILE") && value != QStringLiteral("DIR");
        if (valueKind.isEmpty() ? other : value == valueKind) {
            names << QLatin1String(option.name);
            if (option.shortName != nullptr) {
                names << QLatin1String(option.shortName);
            }
        }
    }
    // A pattern no word matches keeps the case arm valid when none is left.
    return names.isEmpty() ? QStringLiteral("--corvane-no-option") : names.join(u'|');
}

QString AllOptionNames() {
    QStringList names;
    for (const CommandLineOption& option : CommandLineOptions()) {
        names << QLatin1String(option.name);
        if (option.shortName != nullptr) {
            names << QLatin1String(option.shortName);
        }
    }
    return names.join(u' ');
}

// The template with every @NAME@ replaced; false when one is unknown.
bool Fill(const QString& templatePath, const QString& outputPath,
          const QMap<QString, QString>& values) {
    QFile in(templatePath);
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(templatePath));
        return false;
    }
    QString text = QString::fromUtf8(in.readAll());
    static const QRegularExpression PLACEHOLDER(QStringLiteral("@([A-Z_]+)@"));
    QString out;
    qsizetype at = 0;
    for (const QRegularExpressionMatch& match : PLACEHOLDER.globalMatch(text)) {
        if (!values.contains(match.captured(1))) {
            std::fprintf(stderr, "%s: unknown placeholder %s\n", qPrintable(templatePath),
                         qPrintable(match.captured(0)));
            return false;
        }
        out += text.mid(at, match.capturedStart() - at) + values[match.captured(1)];
        at = match.capturedEnd();
    }
    out += text.mid(at);
    QFile file(outputPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(out.toUtf8()) != out.toUtf8().size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(outputPath));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const QString kind = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (kind == QStringLiteral("manual") && argc == 6) {
        return Fill(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                    {{QStringLiteral("VERSION"), Roff(QString::fromLocal8Bit(argv[4]))},
                     {QStringLiteral("DATE"), QString::fromLocal8Bit(argv[5])},
                     {QStringLiteral("SYNOPSIS"), Synopsis()},
                     {QStringLiteral("OPTIONS"), ManualOptions()},
                     {QStringLiteral("EXIT_STATUS"), ExitStatus()}})
                   ? 0
                   : 1;
    }
    if (kind == QStringLiteral("completion") && argc == 4) {
        return Fill(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                    {{QStringLiteral("OPTIONS"), AllOptionNames()},
                     {QStringLiteral("FILE_OPTIONS"), CasePattern(QStringLiteral("FILE"))},
                     {QStringLiteral("DIR_OPTIONS"), CasePattern(QStringLiteral("DIR"))},
                     {QStringLiteral("VALUE_OPTIONS"), CasePattern(QString())}})
                   ? 0
                   : 1;
    }
    std::fprintf(stderr,
                 "usage: %s manual TEMPLATE OUTPUT VERSION DATE\n"
                 "       %s completion TEMPLATE OUTPUT\n",
                 argv[0], argv[0]);
    return 2;
}
