// What the prebuilt C++ runtime, unwinder and libarchive, compiled against
// glibc, expect from the C library and musl does not provide.
#include <cstdint>
#include <link.h>
#include <sys/random.h>
#include <sys/sysmacros.h>

extern "C" {

// Read by the C++ runtime to skip atomic reference counts; 0 keeps them.
char __libc_single_threaded = 0;

unsigned long long gnu_dev_makedev(unsigned int major, unsigned int minor) {
    return makedev(major, minor);
}
unsigned int gnu_dev_major(unsigned long long device) {
    return major(device);
}
unsigned int gnu_dev_minor(unsigned long long device) {
    return minor(device);
}

uint32_t arc4random() {
    uint32_t value = 0;
    while (getrandom(&value, sizeof value, 0) != sizeof value) {
    }
    return value;
}

// glibc's layout. The unwinder asks it for the exception frames of the code
// at an address; without an answer every thrown exception ends the program.
struct dl_find_object {
    unsigned long long dlfo_flags;
    void* dlfo_map_start;
    void* dlfo_map_end;
    void* dlfo_link_map;
    void* dlfo_eh_frame;
    unsigned long long dlfo_reserved[7];
};

namespace {

struct Search {
    std::uintptr_t address;
    dl_find_object* found;
};

int visit(dl_phdr_info* info, size_t, void* data) {
    auto* search = static_cast<Search*>(data);
    std::uintptr_t start = UINTPTR_MAX;
    std::uintptr_t end = 0;
    void* frames = nullptr;
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        const ElfW(Phdr)& header = info->dlpi_phdr[i];
        const std::uintptr_t at = info->dlpi_addr + header.p_vaddr;
        if (header.p_type == PT_LOAD) {
            start = at < start ? at : start;
            end = at + header.p_memsz > end ? at + header.p_memsz : end;
        } else if (header.p_type == PT_GNU_EH_FRAME) {
            frames = reinterpret_cast<void*>(at);
        }
    }
    if (search->address < start || search->address >= end || frames == nullptr)
        return 0;
    *search->found = {
        0, reinterpret_cast<void*>(start), reinterpret_cast<void*>(end), nullptr, frames, {}};
    return 1;
}

} // namespace

int _dl_find_object(void* address, dl_find_object* result) {
    Search search{reinterpret_cast<std::uintptr_t>(address), result};
    return dl_iterate_phdr(visit, &search) != 0 ? 0 : -1;
}

} // extern "C"
