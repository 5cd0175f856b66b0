#include "app/WinMain.h"

// The process's instance handle; nothing looks inside it.
struct InstanceObject {};

int main() {
    static InstanceObject instance;
    return WinMain(&instance, nullptr, nullptr, 0);
}
