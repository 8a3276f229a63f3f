#include "fonts.h"

#include <QFile>
#include <QFont>

#include <fontconfig/fontconfig.h>

// Resources of a static library must be registered by hand.
static void initFontResources()
{
    Q_INIT_RESOURCE(fonts);
}

namespace lumavex {

bool installFonts()
{
    static bool installed = false;
    if (installed)
        return true;
    initFontResources();
    QFile file(QStringLiteral(":/lumavex/lumavex-fonts.conf"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray conf = file.readAll();
    // Adding to the current configuration (the one Qt's font database reads) keeps every
    // system setting and only adds the aliases.
    FcConfig* config = FcConfigGetCurrent();
    if (!config || !FcConfigParseAndLoadFromMemory(
                       config, reinterpret_cast<const FcChar8*>(conf.constData()), FcTrue))
        return false;
    // Qt also asks its own substitution table before fontconfig.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"), QStringLiteral("IPAPMincho"));
    installed = true;
    return true;
}

}  // namespace lumavex
