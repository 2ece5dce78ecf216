#include "Bitmaps.h"

#include "Resource.h"

#include "pictures/check_empty.xpm"
#include "pictures/check_ticked.xpm"
#include "pictures/grey_box.xpm"
#include "pictures/radio_clear.xpm"
#include "pictures/radio_set.xpm"

#include <map>

namespace
{

std::map<int, QImage> DecodePictures()
{
    return {
        {IDB_CHECK_TICKED, QImage(check_ticked_xpm)}, {IDB_CHECK_EMPTY, QImage(check_empty_xpm)},
        {IDB_RADIO_SET, QImage(radio_set_xpm)},       {IDB_RADIO_CLEAR, QImage(radio_clear_xpm)},
        {IDB_GREY_BOX, QImage(grey_box_xpm)},
    };
}

} // namespace

QImage LoadBitmapImage(int id)
{
    // Decoded once; images (unlike pixmaps) may outlive the application object.
    static const std::map<int, QImage> pictures = DecodePictures();
    const auto found = pictures.find(id);
    return found == pictures.end() ? QImage() : found->second;
}

QPixmap LoadBitmap(int id)
{
    const QImage image = LoadBitmapImage(id);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}
