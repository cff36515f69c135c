/* A pointer for tests on a wlroots compositor (sway, cage) with no input
 * devices: it holds one virtual pointer open and plays the commands it reads
 * on its standard input, one a line:
 *
 *   move X Y        absolute motion to X,Y of the extent (layout pixels)
 *   down [BUTTON]   press BUTTON (left, middle, right; left by default)
 *   up [BUTTON]     release it
 *   click [BUTTON]  press and release
 *   extent W H      the size absolute positions are taken against
 *
 * Every line is answered with "ok" once the compositor has processed it (a
 * round trip), or with "error: ..." for a line it cannot play, so the driver
 * knows when the input has landed. End of input ends the pointer. The extent
 * comes first from the arguments: virtualpointer W H.
 */
#define _POSIX_C_SOURCE 200809L

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wayland-client.h>

/* From linux/input-event-codes.h, without needing the kernel headers. */
enum { BUTTON_LEFT = 0x110, BUTTON_RIGHT = 0x111, BUTTON_MIDDLE = 0x112 };

struct client {
    struct wl_display *display;
    struct wl_seat *seat;
    struct zwlr_virtual_pointer_manager_v1 *manager;
    struct zwlr_virtual_pointer_v1 *pointer;
    uint32_t width;
    uint32_t height;
};

static void handle_global(void *data, struct wl_registry *registry, uint32_t name, const char *interface,
                          uint32_t version)
{
    struct client *client = data;
    (void)version;
    if (!client->seat && strcmp(interface, wl_seat_interface.name) == 0)
        client->seat = wl_registry_bind(registry, name, &wl_seat_interface, 1);
    else if (!client->manager && strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0)
        client->manager = wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1);
}

static void handle_global_remove(void *data, struct wl_registry *registry, uint32_t name)
{
    (void)data;
    (void)registry;
    (void)name;
}

static const struct wl_registry_listener registry_listener = {handle_global, handle_global_remove};

static uint32_t now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (uint32_t)(ts.tv_sec * 1000 + ts.tv_nsec / 1000000);
}

static int button_code(const char *name)
{
    if (!name || !*name || strcmp(name, "left") == 0)
        return BUTTON_LEFT;
    if (strcmp(name, "right") == 0)
        return BUTTON_RIGHT;
    if (strcmp(name, "middle") == 0)
        return BUTTON_MIDDLE;
    return -1;
}

static int parse_size(const char *text, uint32_t *value)
{
    char *end = NULL;
    const long number = text ? strtol(text, &end, 10) : 0;
    if (!text || end == text || *end || number <= 0 || number > 1000000)
        return 0;
    *value = (uint32_t)number;
    return 1;
}

static void press(struct client *client, int button, int down)
{
    zwlr_virtual_pointer_v1_button(client->pointer, now_ms(), (uint32_t)button,
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(client->pointer);
}

/* NULL when the line was played, else what is wrong with it. */
static const char *play(struct client *client, char *line)
{
    char *save = NULL;
    const char *command = strtok_r(line, " \t\r\n", &save);
    const char *first = strtok_r(NULL, " \t\r\n", &save);
    const char *second = strtok_r(NULL, " \t\r\n", &save);
    if (!command)
        return NULL;
    if (strcmp(command, "move") == 0) {
        char *end_x = NULL, *end_y = NULL;
        const long x = first ? strtol(first, &end_x, 10) : -1;
        const long y = second ? strtol(second, &end_y, 10) : -1;
        if (!first || !second || *end_x || *end_y || x < 0 || y < 0 || x > (long)client->width
            || y > (long)client->height)
            return "move needs X Y inside the extent";
        zwlr_virtual_pointer_v1_motion_absolute(client->pointer, now_ms(), (uint32_t)x, (uint32_t)y, client->width,
                                                client->height);
        zwlr_virtual_pointer_v1_frame(client->pointer);
        return NULL;
    }
    if (strcmp(command, "down") == 0 || strcmp(command, "up") == 0 || strcmp(command, "click") == 0) {
        const int button = button_code(first);
        if (button < 0)
            return "unknown button";
        if (strcmp(command, "up") != 0)
            press(client, button, 1);
        if (strcmp(command, "down") != 0)
            press(client, button, 0);
        return NULL;
    }
    if (strcmp(command, "extent") == 0) {
        uint32_t width, height;
        if (!parse_size(first, &width) || !parse_size(second, &height))
            return "extent needs W H";
        client->width = width;
        client->height = height;
        return NULL;
    }
    return "unknown command";
}

int main(int argc, char **argv)
{
    struct client client = {0};
    if (argc != 3 || !parse_size(argv[1], &client.width) || !parse_size(argv[2], &client.height)) {
        fprintf(stderr, "usage: %s WIDTH HEIGHT (commands on standard input)\n", argv[0]);
        return 2;
    }
    client.display = wl_display_connect(NULL);
    if (!client.display) {
        fprintf(stderr, "virtualpointer: no Wayland display\n");
        return 1;
    }
    struct wl_registry *registry = wl_display_get_registry(client.display);
    wl_registry_add_listener(registry, &registry_listener, &client);
    wl_display_roundtrip(client.display);
    if (!client.manager) {
        fprintf(stderr, "virtualpointer: the compositor offers no virtual pointer\n");
        return 1;
    }
    client.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(client.manager, client.seat);
    if (wl_display_roundtrip(client.display) < 0) {
        fprintf(stderr, "virtualpointer: the compositor refused the pointer\n");
        return 1;
    }
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("ready\n");

    char *line = NULL;
    size_t capacity = 0;
    int status = 0;
    while (getline(&line, &capacity, stdin) >= 0) {
        const char *error = play(&client, line);
        if (wl_display_roundtrip(client.display) < 0) {
            fprintf(stderr, "virtualpointer: lost the compositor\n");
            status = 1;
            break;
        }
        if (error)
            printf("error: %s\n", error);
        else
            printf("ok\n");
    }
    free(line);
    zwlr_virtual_pointer_v1_destroy(client.pointer);
    zwlr_virtual_pointer_manager_v1_destroy(client.manager);
    if (client.seat)
        wl_seat_destroy(client.seat);
    wl_registry_destroy(registry);
    wl_display_roundtrip(client.display);
    wl_display_disconnect(client.display);
    return status;
}
