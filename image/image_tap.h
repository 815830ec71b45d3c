#pragma once

#include "image/image_recorder.h"
#include "link/dtrans.h"

#include <QString>

// For the length of a readout, every block the link reads also goes into a
// memory image file (the run folder's "recorder.img" by default). Recording
// is a bystander: when the image cannot be written it just stops, and the
// readout never hears of it.
class ImageTap {
public:
    ImageTap(DTrans& link, int comPort, const QString& path = ImageRecorder::FileName);
    ~ImageTap();
    ImageTap(const ImageTap&) = delete;
    ImageTap& operator=(const ImageTap&) = delete;

private:
    DTrans& link_;
    ImageRecorder recorder_;
};
