#include "AppIcon.h"

#include "pictures/ostrel_icon.xpm"

#include <QPixmap>

QImage LoadAppIconImage()
{
    static const QImage icon(ostrel_icon_xpm);
    return icon;
}

QIcon LoadAppIcon()
{
    const QPixmap big = QPixmap::fromImage(LoadAppIconImage());
    QIcon icon(big);
    icon.addPixmap(big.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    return icon;
}
