/* The lab's pointer on a wlroots compositor, whose headless seat has none: a virtual pointer
 * that lives as long as this process, so that the clients see one pointer from their start
 * and not one that comes and goes with each gesture. Commands on standard input, one a line,
 * each answered "ok" once the compositor has taken it:
 *   move X Y WIDTH HEIGHT   the pointer to X,Y of a layout WIDTH x HEIGHT (every output)
 *   click BUTTON            press and release: 1 left, 2 middle, 3 right
 */
#include <linux/input-event-codes.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

#include "virtual-pointer-client.h"

static struct wl_seat* seat;
static struct zwlr_virtual_pointer_manager_v1* manager;

static void global(void* data, struct wl_registry* registry, uint32_t name,
                   const char* interface, uint32_t version) {
    (void)data;
    (void)version;
    if (strcmp(interface, wl_seat_interface.name) == 0 && seat == NULL) {
        seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    } else if (strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
    }
}

static void global_remove(void* data, struct wl_registry* registry, uint32_t name) {
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {global, global_remove};

static uint32_t now_ms(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (uint32_t)(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

int main(void) {
    struct wl_display* display = wl_display_connect(NULL);
    if (display == NULL) {
        fprintf(stderr, "wlpointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registry_listener, NULL);
    wl_display_roundtrip(display);
    if (manager == NULL) {
        fprintf(stderr, "wlpointer: the compositor has no virtual pointers\n");
        return 1;
    }
    struct zwlr_virtual_pointer_v1* pointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager, seat);
    wl_display_roundtrip(display);
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("ready\n");

    static const uint32_t buttons[] = {BTN_LEFT, BTN_MIDDLE, BTN_RIGHT};
    char line[128];
    while (fgets(line, sizeof line, stdin) != NULL) {
        unsigned x, y, width, height, button;
        if (sscanf(line, "move %u %u %u %u", &x, &y, &width, &height) == 4) {
            zwlr_virtual_pointer_v1_motion_absolute(pointer, now_ms(), x, y, width, height);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else if (sscanf(line, "click %u", &button) == 1 && button >= 1 && button <= 3) {
            const uint32_t code = buttons[button - 1];
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), code,
                                           WL_POINTER_BUTTON_STATE_PRESSED);
            zwlr_virtual_pointer_v1_frame(pointer);
            zwlr_virtual_pointer_v1_button(pointer, now_ms(), code,
                                           WL_POINTER_BUTTON_STATE_RELEASED);
            zwlr_virtual_pointer_v1_frame(pointer);
        } else {
            printf("unknown: %s", line);
            continue;
        }
        if (wl_display_roundtrip(display) < 0) {
            fprintf(stderr, "wlpointer: the compositor went away\n");
            return 1;
        }
        printf("ok\n");
    }
    zwlr_virtual_pointer_v1_destroy(pointer);
    wl_display_roundtrip(display);
    wl_display_disconnect(display);
    return 0;
}
