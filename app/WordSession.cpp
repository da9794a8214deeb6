#include "WordSession.h"

#include "Failure.h"

#include <array>

namespace {
constexpr std::array<std::pair<DocumentFormat, const char *>, 4> kFormatNames { {
    { DocumentFormat::Doc, "doc" },
    { DocumentFormat::Docx, "docx" },
    { DocumentFormat::Odt, "odt" },
    { DocumentFormat::Pdf, "pdf" },
} };
} // namespace

QString documentFormatName(DocumentFormat format)
{
    for (const auto &[known, name] : kFormatNames) {
        if (known == format)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<DocumentFormat> documentFormatNamed(const QString &name)
{
    for (const auto &[format, known] : kFormatNames) {
        if (name.compare(QLatin1String(known), Qt::CaseInsensitive) == 0)
            return format;
    }
    return std::nullopt;
}

void WordSession::exportAs(const QString &path, DocumentFormat format)
{
    if (format != DocumentFormat::Doc)
        fail(QStringLiteral("Could not write \"%1\": this word processor writes only Word "
                            "97-2003 documents.")
                 .arg(path));
    saveAs(path);
}

TemplateFindings WordSession::makeTemplateSafe(
    const QString &, TemplateKind, const QString &, const TemplateLimits &)
{
    throw TemplateRefused(QStringLiteral("this word processor cannot check templates"));
}
