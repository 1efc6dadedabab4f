// Recording an area of the screen into a WebM file on this machine, without any room.
#pragma once

#include "AvEngine.h"
#include "AvPipeline.h"
#include "AvScreen.h"

#include <memory>
#include <string>

namespace brvav {

/// One recording at a time. Engine thread only; events go out through the dispatcher.
class Recorder
{
public:
    Recorder(Engine &engine, Dispatcher &dispatcher) : engine_(engine), dispatcher_(dispatcher) {}
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    /// Starts recording area into a new file at path; onLocalRecordBegin reports the outcome.
    void start(const std::string &path, const Rect &area, bool showPointer);
    /// Asks the muxer to finish the file; onLocalRecordComplete follows. Nothing without a
    /// running recording.
    void stop();
    bool running() const { return pipe_ && !finished_; }

private:
    void finish(int code);

    Engine &engine_;
    Dispatcher &dispatcher_;
    std::unique_ptr<Pipeline> pipe_;
    std::string path_;
    bool finished_ = true;
    bool stopping_ = false;
};

} // namespace brvav
