#pragma once

// What the two files that speak UNO share: Office.cpp, which drives the office, and
// OfficeTemplates.cpp, which makes a template of the user's own safe in it. Only they
// include this header.

#include "Failure.h"
#include "WordSession.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <osl/file.hxx>

#include <initializer_list>

namespace OfficeUno {
using css::uno::Any;
using css::uno::Reference;
using css::uno::Sequence;
using rtl::OUString;

inline OUString toOUString(const QString &text)
{
    return OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), sal_Int32(text.size()));
}

inline QString toQString(const OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), qsizetype(text.getLength()));
}

inline OUString fileUrl(const QString &path)
{
    OUString url;
    const OUString systemPath = toOUString(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    if (osl::FileBase::getFileURLFromSystemPath(systemPath, url) != osl::FileBase::E_None)
        fail(QStringLiteral("The path \"%1\" cannot be given to the word processor.").arg(path));
    return url;
}

inline css::beans::PropertyValue property(const char *name, const Any &value)
{
    css::beans::PropertyValue property;
    property.Name = OUString::createFromAscii(name);
    property.Value = value;
    return property;
}

inline Sequence<css::beans::PropertyValue> properties(
    std::initializer_list<css::beans::PropertyValue> list)
{
    return Sequence<css::beans::PropertyValue>(list.begin(), sal_Int32(list.size()));
}

// The office's own words about a failed call; `gone` when the office itself is lost,
// `refused` when the message says why a file of the user's is no template.
struct OfficeError
{
    QString message;
    bool gone = false;
    bool refused = false;
};

template<typename Action> void translated(Action &&action)
{
    try {
        action();
    } catch (const css::lang::DisposedException &error) {
        throw OfficeError { toQString(error.Message), true };
    } catch (const css::uno::Exception &error) {
        throw OfficeError { toQString(error.Message), false };
    }
}

// Every office of ours: no macro of any document runs, Word's macros are neither read
// nor kept, and no link of a document is updated or followed, so that a template of the
// user's cannot have it run or read anything.
void secureOffice(const Reference<css::uno::XComponentContext> &remote);

// The template at sourceUrl, loaded with macros off and links blocked, checked against
// the limits and saved at destinationUrl as a Word 97-2003 template with every link and
// macro taken out. Throws OfficeError (refused, saying why it is no template) or the
// office's exceptions.
TemplateFindings madeSafe(const Reference<css::frame::XDesktop2> &desktop,
    const OUString &sourceUrl, const OUString &destinationUrl, TemplateKind kind,
    const TemplateLimits &limits);

} // namespace OfficeUno
