#include "AvDevices.h"

#include <algorithm>
#include <cstring>

namespace brvav {

using namespace liteav;

const char *const kVirtualCameraId = "virtual:camera";
const char *const kVirtualMicId = "virtual:microphone";
const char *const kVirtualSpeakerId = "virtual:speaker";

namespace {

const char *const kVirtualNames[3] = {"Test tone microphone", "Silent speaker",
                                      "Test pattern camera"};
const char *const kVirtualIds[3] = {kVirtualMicId, kVirtualSpeakerId, kVirtualCameraId};

class Collection : public ITXDeviceCollection
{
public:
    std::vector<std::pair<std::string, std::string>> items; // id, name

    uint32_t getCount() override { return uint32_t(items.size()); }
    const char *getDeviceName(uint32_t index) override
    {
        return index < items.size() ? items[index].second.c_str() : "";
    }
    const char *getDevicePID(uint32_t index) override
    {
        return index < items.size() ? items[index].first.c_str() : "";
    }
    void release() override { delete this; }
};

class Info : public ITXDeviceInfo
{
public:
    Info(std::string id, std::string name) : id_(std::move(id)), name_(std::move(name)) {}
    const char *getDeviceName() override { return name_.c_str(); }
    const char *getDevicePID() override { return id_.c_str(); }
    void release() override { delete this; }

private:
    std::string id_;
    std::string name_;
};

bool validType(TXMediaDeviceType type)
{
    return type == TXMediaDeviceTypeMic || type == TXMediaDeviceTypeSpeaker ||
           type == TXMediaDeviceTypeCamera;
}

} // namespace

Devices::Devices(Engine &engine, Dispatcher &dispatcher, DeviceHost &host)
    : engine_(engine), dispatcher_(dispatcher), host_(host)
{}

Devices::~Devices()
{
    stop();
}

void Devices::start()
{
    monitor_ = gst_device_monitor_new();
    gst_device_monitor_add_filter(monitor_, "Video/Source", nullptr);
    gst_device_monitor_add_filter(monitor_, "Audio/Source", nullptr);
    gst_device_monitor_add_filter(monitor_, "Audio/Sink", nullptr);
    GstBus *bus = gst_device_monitor_get_bus(monitor_);
    busWatch_ = gst_bus_create_watch(bus);
    g_source_set_callback(busWatch_, G_SOURCE_FUNC(&Devices::busMessage), this, nullptr);
    g_source_attach(busWatch_, engine_.context());
    gst_object_unref(bus);
    if (!gst_device_monitor_start(monitor_))
        return; // no provider: the virtual devices remain
    GList *devices = gst_device_monitor_get_devices(monitor_);
    std::lock_guard<std::mutex> lock(mutex_);
    for (GList *l = devices; l; l = l->next) {
        auto *device = GST_DEVICE(l->data);
        const int type = typeOf(device);
        if (type < 0)
            continue;
        const std::string id = idOf(device);
        auto &real = types_[type].real;
        if (std::none_of(real.begin(), real.end(), [&](const Entry &e) { return e.id == id; })) {
            gchar *name = gst_device_get_display_name(device);
            real.push_back({id, name ? name : id, GST_DEVICE(gst_object_ref(device))});
            g_free(name);
        }
    }
    g_list_free_full(devices, gst_object_unref);
}

void Devices::stop()
{
    Engine::removeSource(busWatch_);
    if (monitor_) {
        gst_device_monitor_stop(monitor_);
        gst_object_unref(monitor_);
        monitor_ = nullptr;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (TypeState &t : types_) {
        for (Entry &e : t.real)
            gst_object_unref(e.device);
        t.real.clear();
    }
}

int Devices::typeOf(GstDevice *device)
{
    if (gst_device_has_classes(device, "Video/Source"))
        return TXMediaDeviceTypeCamera;
    if (gst_device_has_classes(device, "Audio/Source"))
        return isMonitorSource(device) ? -1 : TXMediaDeviceTypeMic;
    if (gst_device_has_classes(device, "Audio/Sink"))
        return TXMediaDeviceTypeSpeaker;
    return -1;
}

bool Devices::isMonitorSource(GstDevice *device)
{
    GstStructure *props = gst_device_get_properties(device);
    bool monitor = false;
    if (props) {
        const gchar *cls = gst_structure_get_string(props, "device.class");
        monitor = cls && std::strcmp(cls, "monitor") == 0;
        gst_structure_free(props);
    }
    return monitor;
}

std::string Devices::idOf(GstDevice *device)
{
    // Ids are the system's own names of the device, so that they stay the same from one run
    // to the next: the sound server's source or sink name, the camera's device node.
    std::string id;
    if (g_object_class_find_property(G_OBJECT_GET_CLASS(device), "internal-name")) {
        gchar *name = nullptr;
        g_object_get(device, "internal-name", &name, nullptr);
        if (name && *name)
            id = std::string("pulse:") + name;
        g_free(name);
    }
    GstStructure *props = gst_device_get_properties(device);
    if (id.empty() && props) {
        for (const char *key : {"api.v4l2.path", "device.path", "object.path", "node.name"}) {
            const gchar *value = gst_structure_get_string(props, key);
            if (value && *value) {
                id = std::string("device:") + value;
                break;
            }
        }
    }
    if (props)
        gst_structure_free(props);
    if (id.empty()) {
        gchar *name = gst_device_get_display_name(device);
        id = std::string("name:") + (name ? name : "");
        g_free(name);
    }
    return id;
}

gboolean Devices::busMessage(GstBus *, GstMessage *message, gpointer data)
{
    auto *self = static_cast<Devices *>(data);
    GstDevice *device = nullptr;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_DEVICE_ADDED:
        gst_message_parse_device_added(message, &device);
        self->added(device);
        break;
    case GST_MESSAGE_DEVICE_REMOVED:
        gst_message_parse_device_removed(message, &device);
        self->removed(device);
        break;
    default:
        break;
    }
    if (device)
        gst_object_unref(device);
    return G_SOURCE_CONTINUE;
}

void Devices::added(GstDevice *device)
{
    const int type = typeOf(device);
    if (type < 0)
        return;
    const std::string id = idOf(device);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto &real = types_[type].real;
        if (std::any_of(real.begin(), real.end(), [&](const Entry &e) { return e.id == id; }))
            return; // already known from the first listing
        gchar *name = gst_device_get_display_name(device);
        real.push_back({id, name ? name : id, GST_DEVICE(gst_object_ref(device))});
        g_free(name);
    }
    dispatcher_.emit([id, type](ITRTCCloudCallback &sink) {
        sink.onDeviceChange(id.c_str(), TXMediaDeviceType(type), TXMediaDeviceStateAdd);
    });
}

void Devices::removed(GstDevice *device)
{
    const int type = typeOf(device);
    if (type < 0)
        return;
    std::string id;
    bool wasSelected = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TypeState &t = types_[type];
        // The provider may hand a different object for the same device: match by id too.
        const std::string byId = idOf(device);
        auto it = std::find_if(t.real.begin(), t.real.end(),
                               [&](const Entry &e) { return e.device == device || e.id == byId; });
        if (it == t.real.end())
            return;
        id = it->id;
        const std::string current = t.selectedId.empty() ? t.real.front().id : t.selectedId;
        wasSelected = current == id;
        gst_object_unref(it->device);
        t.real.erase(it);
        if (t.selectedId == id)
            t.selectedId.clear(); // the first remaining one
    }
    dispatcher_.emit([id, type](ITRTCCloudCallback &sink) {
        sink.onDeviceChange(id.c_str(), TXMediaDeviceType(type), TXMediaDeviceStateRemove);
    });
    if (wasSelected)
        host_.selectedDeviceChanged(TXMediaDeviceType(type));
}

std::vector<Devices::Entry> Devices::listed(int type) const
{
    std::vector<Entry> out = types_[type].real;
    out.push_back({kVirtualIds[type], kVirtualNames[type], nullptr});
    return out;
}

Devices::TypeState *Devices::state(TXMediaDeviceType type)
{
    return validType(type) ? &types_[type] : nullptr;
}

GstDevice *Devices::selected(TXMediaDeviceType type, std::string *id)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!validType(type))
        return nullptr;
    const std::vector<Entry> all = listed(type);
    const TypeState &t = types_[type];
    auto it =
        std::find_if(all.begin(), all.end(), [&](const Entry &e) { return e.id == t.selectedId; });
    const Entry &e = it != all.end() ? *it : all.front();
    if (id)
        *id = e.id;
    return e.device ? GST_DEVICE(gst_object_ref(e.device)) : nullptr;
}

uint32_t Devices::volume(TXMediaDeviceType type)
{
    std::lock_guard<std::mutex> lock(mutex_);
    TypeState *t = state(type);
    return t ? (t->mute ? 0 : t->volume) : 0;
}

bool Devices::muted(TXMediaDeviceType type)
{
    std::lock_guard<std::mutex> lock(mutex_);
    TypeState *t = state(type);
    return t && t->mute;
}

ITXDeviceCollection *Devices::getDevicesList(TXMediaDeviceType type)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!validType(type))
        return nullptr;
    auto *collection = new Collection;
    for (const Entry &e : listed(type))
        collection->items.emplace_back(e.id, e.name);
    return collection;
}

int Devices::setCurrentDevice(TXMediaDeviceType type, const char *deviceId)
{
    if (!validType(type) || !deviceId)
        return ERR_INVALID_PARAMETER;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::vector<Entry> all = listed(type);
        auto it =
            std::find_if(all.begin(), all.end(), [&](const Entry &e) { return e.id == deviceId; });
        if (it == all.end())
            return ERR_DEVICE_NOT_FOUND;
        const std::string before =
            types_[type].selectedId.empty() ? all.front().id : types_[type].selectedId;
        types_[type].selectedId = deviceId;
        if (before == deviceId)
            return 0;
    }
    engine_.run([&] { host_.selectedDeviceChanged(type); });
    return 0;
}

ITXDeviceInfo *Devices::getCurrentDevice(TXMediaDeviceType type)
{
    std::string id;
    GstDevice *device = selected(type, &id);
    if (!validType(type))
        return nullptr;
    std::string name = kVirtualNames[type];
    if (device) {
        gchar *n = gst_device_get_display_name(device);
        name = n ? n : id;
        g_free(n);
        gst_object_unref(device);
    }
    return new Info(id, name);
}

int Devices::setCurrentDeviceVolume(TXMediaDeviceType type, uint32_t volume)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TypeState *t = state(type);
        if (!t || type == TXMediaDeviceTypeCamera)
            return ERR_INVALID_PARAMETER;
        t->volume = std::min<uint32_t>(volume, 100);
    }
    engine_.run([&] { host_.deviceVolumeChanged(type); });
    return 0;
}

uint32_t Devices::getCurrentDeviceVolume(TXMediaDeviceType type)
{
    std::lock_guard<std::mutex> lock(mutex_);
    TypeState *t = state(type);
    return t ? t->volume : 0;
}

int Devices::setCurrentDeviceMute(TXMediaDeviceType type, bool mute)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        TypeState *t = state(type);
        if (!t || type == TXMediaDeviceTypeCamera)
            return ERR_INVALID_PARAMETER;
        t->mute = mute;
    }
    engine_.run([&] { host_.deviceVolumeChanged(type); });
    return 0;
}

bool Devices::getCurrentDeviceMute(TXMediaDeviceType type)
{
    return muted(type);
}

int Devices::startCameraDeviceTest(TXView view)
{
    return host_.startCameraTest(view);
}

int Devices::stopCameraDeviceTest()
{
    return host_.stopCameraTest();
}

int Devices::startMicDeviceTest(uint32_t interval)
{
    return host_.startMicTest(interval);
}

int Devices::stopMicDeviceTest()
{
    return host_.stopMicTest();
}

int Devices::startSpeakerDeviceTest(const char *filePath)
{
    return host_.startSpeakerTest(filePath);
}

int Devices::stopSpeakerDeviceTest()
{
    return host_.stopSpeakerTest();
}

} // namespace brvav
