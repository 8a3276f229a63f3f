#include "editor.h"

#include "app/about_box.h"
#include "app/main_window.h"
#include "dialogs/color_count_dialog.h"
#include "dialogs/processing_parameters_dialog.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/size_dialog.h"
#include "dialogs/text_dialog.h"
#include "mask/mask_editor_window.h"

namespace lumavex {

namespace {

Editor* current = nullptr;

}  // namespace

Editor::Editor()
{
    Q_ASSERT(!current);
    current = this;
    m_mainForm = std::make_unique<TMainForm>();
    m_aboutBox = std::make_unique<TFAboutBox1>();
    m_text = std::make_unique<TFText1>();
    m_parameters = std::make_unique<TFGPropa1>();
    m_maskEditor = std::make_unique<TFEditImage2>();
    m_size = std::make_unique<TFSize1>();
    m_colorCount = std::make_unique<TFColorSel1>();
    m_rotate = std::make_unique<TFRotat1>();
}

// The documents go with the frame first; the dialogs they may still use outlive them.
Editor::~Editor()
{
    m_mainForm.reset();
    m_rotate.reset();
    m_colorCount.reset();
    m_size.reset();
    m_maskEditor.reset();
    m_parameters.reset();
    m_text.reset();
    m_aboutBox.reset();
    current = nullptr;
}

Editor& Editor::instance()
{
    Q_ASSERT(current);
    return *current;
}

}  // namespace lumavex
