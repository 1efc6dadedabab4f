#include "AvRecorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

using namespace liteav;

namespace brvav {

namespace {
// A muxer that does not finish within this time is taken to have failed.
constexpr unsigned kFinishTimeoutMs = 10000;
constexpr int kFramesPerSecond = 15;
} // namespace

Recorder::~Recorder()
{
    // Leaving without stop() leaves a file without its end; the caller stops first.
    if (pipe_)
        pipe_->stop();
}

void Recorder::start(const std::string &path, const Rect &area, bool showPointer)
{
    const auto begin = [this](int code, const std::string &file) {
        dispatcher_.emit([code, file](ITRTCCloudCallback &sink) {
            sink.onLocalRecordBegin(code, file.c_str());
        });
    };
    if (running()) {
        begin(ERR_LOCAL_RECORD_FAIL, path);
        return;
    }
    pipe_.reset();
    if (path.empty()) {
        begin(ERR_LOCAL_RECORD_FILE_FAIL, path);
        return;
    }
    // Made exclusively here, so that an existing file is never overwritten, even by a file
    // that appears between the caller's check and now.
    FILE *file = std::fopen(path.c_str(), "wbx");
    if (!file) {
        begin(ERR_LOCAL_RECORD_FILE_FAIL, path);
        return;
    }
    std::fclose(file);
    if (area.width < 2 || area.height < 2) {
        std::remove(path.c_str());
        begin(ERR_SCREEN_CAPTURE_START_FAIL, path);
        return;
    }
    GError *error = nullptr;
    const std::string description =
        "ximagesrc name=src use-damage=false ! videoconvert ! videorate ! "
        "video/x-raw,format=I420,framerate=" +
        std::to_string(kFramesPerSecond) +
        "/1 ! vp8enc deadline=1 threads=1 ! webmmux ! filesink name=sink";
    GstElement *pipeline = gst_parse_launch(description.c_str(), &error);
    if (!pipeline || error) {
        g_clear_error(&error);
        if (pipeline)
            gst_object_unref(gst_object_ref_sink(pipeline));
        std::remove(path.c_str());
        begin(ERR_LOCAL_RECORD_FAIL, path);
        return;
    }
    pipe_ = std::make_unique<Pipeline>(engine_, pipeline);
    g_object_set(pipe_->byName("src"), "show-pointer", showPointer, "startx", guint(area.x),
                 "starty", guint(area.y), "endx", guint(area.x + area.width - 1), "endy",
                 guint(area.y + area.height - 1), nullptr);
    g_object_set(pipe_->byName("sink"), "location", path.c_str(), nullptr);
    path_ = path;
    finished_ = false;
    stopping_ = false;
    pipe_->onError = [this](GstElement *, const std::string &) {
        finish(ERR_LOCAL_RECORD_FAIL);
    };
    pipe_->onEos = [this] {
        finish(stopping_ ? 0 : ERR_LOCAL_RECORD_FAIL);
    };
    if (!pipe_->play()) {
        pipe_->stop();
        pipe_.reset();
        finished_ = true;
        // Nothing was written: no empty file is left behind.
        std::remove(path.c_str());
        begin(ERR_SCREEN_CAPTURE_START_FAIL, path);
        return;
    }
    begin(0, path);
}

void Recorder::stop()
{
    if (!running() || stopping_)
        return;
    stopping_ = true;
    // The end of stream runs through the encoder into the muxer, which then writes the
    // file's index and sizes; only after that is the file complete.
    gst_element_send_event(pipe_->element(), gst_event_new_eos());
    pipe_->every(kFinishTimeoutMs, [this] {
        finish(ERR_LOCAL_RECORD_FAIL);
        return false;
    });
}

void Recorder::finish(int code)
{
    if (finished_)
        return;
    finished_ = true;
    pipe_->stop();
    const std::string path = path_;
    dispatcher_.emit(
        [code, path](ITRTCCloudCallback &sink) { sink.onLocalRecordComplete(code, path.c_str()); });
}

} // namespace brvav
