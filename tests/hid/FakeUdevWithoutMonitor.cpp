// A libudev stand-in that binds but can make no monitor, as where a sandbox
// allows no netlink socket.
extern "C" {
static int context;
void* udev_new() {
  return &context;
}
void* udev_unref(void*) {
  return nullptr;
}
void* udev_monitor_new_from_netlink(void*, const char*) {
  return nullptr;
}
int udev_monitor_filter_add_match_subsystem_devtype(void*, const char*, const char*) {
  return -1;
}
int udev_monitor_enable_receiving(void*) {
  return -1;
}
int udev_monitor_get_fd(void*) {
  return -1;
}
void* udev_monitor_receive_device(void*) {
  return nullptr;
}
void* udev_device_unref(void*) {
  return nullptr;
}
void* udev_monitor_unref(void*) {
  return nullptr;
}
}
