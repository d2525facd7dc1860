#include "frmKelvadon.h"

#include "Texts.h"

namespace torvanelo {

frmKelvadon::frmKelvadon(QWidget* parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmKelvadon"));
    setWindowTitle(productTitle());
    // 10350 x 6855 twips at 15 twips to a pixel.
    setFixedSize(690, 457);
}

} // namespace torvanelo
