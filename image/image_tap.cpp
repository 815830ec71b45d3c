#include "image/image_tap.h"

ImageTap::ImageTap(DTrans& link, int comPort, const QString& path) : link_(link) {
    if (recorder_.Open(path, comPort))
        link_.AddReadObserver(&recorder_);
}

ImageTap::~ImageTap() {
    link_.RemoveReadObserver(&recorder_);
}
