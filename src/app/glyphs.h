#pragma once

#include <QIcon>

namespace lumavex {

/// The glyph of a frame tool button, by its place in the tool bar (0 = "新規作成" ... 17 =
/// "ﾊﾞｰｼﾞｮﾝ情報"), with an enabled and a greyed, embossed disabled state. Null past the end.
QIcon toolGlyph(int place);

/// The program's icon: a framed picture with a drop shadow.
QIcon programIcon();

/// The icon of a document window.
QIcon documentIcon();

}  // namespace lumavex
