#include "browse/images.h"
#include <QApplication>
#include <QStyle>
#include <array>

namespace browse {

QIcon imageListIcon(int index)
{
    // Looked up once: a scan asks for an icon per node.
    static const std::array<QIcon, 4> icons = [] {
        QStyle* style = QApplication::style();
        return std::array<QIcon, 4>{style->standardIcon(QStyle::SP_DriveNetIcon),
                                    style->standardIcon(QStyle::SP_DirIcon),
                                    style->standardIcon(QStyle::SP_FileIcon),
                                    style->standardIcon(QStyle::SP_FileDialogDetailedView)};
    }();
    return index >= 0 && index < int(icons.size()) ? icons[size_t(index)] : QIcon();
}

} // namespace browse
