// List boxes and scroll bars: a GtkListStore behind a GtkTreeView, a GtkAdjustment behind a
// GtkScrollbar. Changes the program makes itself run no handler, as on the other platforms.
#include <stdexcept>

#include "platform/linux/linux_platform.h"

namespace morvel::linux_backend {

// --- List boxes ------------------------------------------------------------------------------

namespace {

bool NthRow(GtkListStore* items, int index, GtkTreeIter& row) {
    return index >= 0 &&
           gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(items), &row, nullptr, index) != FALSE;
}

}  // namespace

void LinuxPlatform::addItem(Handle list, const std::string& text) {
    GtkListStore* items = controlData(list).items;
    GtkTreeIter row;
    gtk_list_store_insert_with_values(items, &row, -1, 0, text.c_str(), -1);
}

// Out of range: nothing happens.
void LinuxPlatform::deleteItem(Handle list, int index) {
    GtkListStore* items = controlData(list).items;
    const ScopedFlag quiet = quietly();
    GtkTreeIter row;
    if (NthRow(items, index, row)) {
        gtk_list_store_remove(items, &row);
    }
}

void LinuxPlatform::clearItems(Handle list) {
    GtkListStore* items = controlData(list).items;
    const ScopedFlag quiet = quietly();
    gtk_list_store_clear(items);
}

int LinuxPlatform::itemCount(Handle list) const {
    return gtk_tree_model_iter_n_children(GTK_TREE_MODEL(controlData(list).items), nullptr);
}

std::string LinuxPlatform::itemText(Handle list, int index) const {
    GtkTreeIter row;
    GtkListStore* items = controlData(list).items;
    if (!NthRow(items, index, row)) {
        throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
    }
    gchar* text = nullptr;
    gtk_tree_model_get(GTK_TREE_MODEL(items), &row, 0, &text, -1);
    std::string result = text != nullptr ? text : "";
    g_free(text);
    return result;
}

int LinuxPlatform::selectedIndex(Handle list) const {
    const ControlData& data = controlData(list);
    GtkTreeIter row;
    GtkTreeModel* model = nullptr;
    if (!gtk_tree_selection_get_selected(gtk_tree_view_get_selection(GTK_TREE_VIEW(data.inner)),
                                         &model, &row)) {
        return -1;
    }
    GtkTreePath* path = gtk_tree_model_get_path(model, &row);
    const int index = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return index;
}

// Out of range: no row is selected.
void LinuxPlatform::setSelectedIndex(Handle list, int index) {
    const ControlData& data = controlData(list);
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(data.inner));
    const ScopedFlag quiet = quietly();
    GtkTreeIter row;
    if (NthRow(data.items, index, row)) {
        gtk_tree_selection_select_iter(selection, &row);
        GtkTreePath* path = gtk_tree_model_get_path(GTK_TREE_MODEL(data.items), &row);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(data.inner), path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
    } else {
        gtk_tree_selection_unselect_all(selection);
    }
}

// --- Scroll bars -----------------------------------------------------------------------------

void LinuxPlatform::setScrollRange(Handle bar, int minimum, int maximum) {
    GtkAdjustment* adjustment = controlData(bar).adjustment;
    const ScopedFlag quiet = quietly();
    gtk_adjustment_set_lower(adjustment, minimum);
    gtk_adjustment_set_upper(adjustment, maximum);  // no page: the maximum itself is reachable
}

void LinuxPlatform::setScrollPosition(Handle bar, int position) {
    GtkAdjustment* adjustment = controlData(bar).adjustment;
    const ScopedFlag quiet = quietly();
    gtk_adjustment_set_value(adjustment, position);
}

int LinuxPlatform::scrollPosition(Handle bar) const {
    return static_cast<int>(gtk_adjustment_get_value(controlData(bar).adjustment) + 0.5);
}

}  // namespace morvel::linux_backend
