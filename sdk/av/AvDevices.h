// Device lists from GStreamer's device monitor, each ending with the virtual device of its
// type, the selected device of each type, and the device tests (carried out by the host).
#pragma once

#include "AvEngine.h"

#include <gst/gst.h>

#include <mutex>
#include <string>
#include <vector>

namespace brvav {

extern const char *const kVirtualCameraId;
extern const char *const kVirtualMicId;
extern const char *const kVirtualSpeakerId;

/// What the device manager needs from the SDK object: the tests, and to hear of a change of
/// the selected device (whose running pipelines then move to it).
class DeviceHost
{
public:
    virtual ~DeviceHost() = default;
    virtual int startCameraTest(liteav::TXView view) = 0;
    virtual int stopCameraTest() = 0;
    virtual int startMicTest(uint32_t interval) = 0;
    virtual int stopMicTest() = 0;
    virtual int startSpeakerTest(const char *path) = 0;
    virtual int stopSpeakerTest() = 0;
    /// Called on the engine thread.
    virtual void selectedDeviceChanged(liteav::TXMediaDeviceType type) = 0;
    virtual void deviceVolumeChanged(liteav::TXMediaDeviceType type) = 0;
};

class Devices : public liteav::ITXDeviceManager
{
public:
    Devices(Engine &engine, Dispatcher &dispatcher, DeviceHost &host);
    ~Devices() override;

    /// Starts and stops the device monitor (engine thread).
    void start();
    void stop();

    /// The selected device of a type: a new reference to its GstDevice, or null for the
    /// virtual device. Sets *id to its id.
    GstDevice *selected(liteav::TXMediaDeviceType type, std::string *id);
    uint32_t volume(liteav::TXMediaDeviceType type);
    bool muted(liteav::TXMediaDeviceType type);

    liteav::ITXDeviceCollection *getDevicesList(liteav::TXMediaDeviceType type) override;
    int setCurrentDevice(liteav::TXMediaDeviceType type, const char *deviceId) override;
    liteav::ITXDeviceInfo *getCurrentDevice(liteav::TXMediaDeviceType type) override;
    int setCurrentDeviceVolume(liteav::TXMediaDeviceType type, uint32_t volume) override;
    uint32_t getCurrentDeviceVolume(liteav::TXMediaDeviceType type) override;
    int setCurrentDeviceMute(liteav::TXMediaDeviceType type, bool mute) override;
    bool getCurrentDeviceMute(liteav::TXMediaDeviceType type) override;
    int startCameraDeviceTest(liteav::TXView view) override;
    int stopCameraDeviceTest() override;
    int startMicDeviceTest(uint32_t interval) override;
    int stopMicDeviceTest() override;
    int startSpeakerDeviceTest(const char *filePath) override;
    int stopSpeakerDeviceTest() override;

private:
    struct Entry
    {
        std::string id;
        std::string name;
        GstDevice *device = nullptr; // null for the virtual device
    };
    struct TypeState
    {
        std::vector<Entry> real;
        std::string selectedId; // empty: the first listed
        uint32_t volume = 100;
        bool mute = false;
    };

    static int typeOf(GstDevice *device);
    static std::string idOf(GstDevice *device);
    static bool isMonitorSource(GstDevice *device);
    static gboolean busMessage(GstBus *bus, GstMessage *message, gpointer self);
    void added(GstDevice *device);
    void removed(GstDevice *device);
    std::vector<Entry> listed(int type) const; // mutex held
    TypeState *state(liteav::TXMediaDeviceType type);

    Engine &engine_;
    Dispatcher &dispatcher_;
    DeviceHost &host_;
    GstDeviceMonitor *monitor_ = nullptr;
    GSource *busWatch_ = nullptr;
    mutable std::mutex mutex_;
    TypeState types_[3];
};

} // namespace brvav
