#include "editor.h"

#include "app/about_box.h"
#include "app/main_window.h"
#include "app/open_request.h"
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
    m_mainWindow = std::make_unique<MainWindow>();
    m_aboutBox = std::make_unique<AboutBox>();
    m_text = std::make_unique<TextDialog>();
    m_parameters = std::make_unique<ProcessingParametersDialog>();
    m_maskEditor = std::make_unique<MaskEditorWindow>();
    m_size = std::make_unique<SizeDialog>();
    m_colorCount = std::make_unique<ColorCountDialog>();
    m_rotate = std::make_unique<RotateDialog>();
}

// Requests stop first, then the documents go with the frame; the dialogs they may still use
// outlive them.
Editor::~Editor()
{
    m_openRequests.reset();
    m_mainWindow.reset();
    m_rotate.reset();
    m_colorCount.reset();
    m_size.reset();
    m_maskEditor.reset();
    m_parameters.reset();
    m_text.reset();
    m_aboutBox.reset();
    current = nullptr;
}

bool Editor::listenForOpenRequests(const QString& socketName)
{
    if (!m_openRequests) {
        m_openRequests = std::make_unique<OpenRequestServer>();
        QObject::connect(m_openRequests.get(), &OpenRequestServer::openRequested,
                         m_mainWindow.get(), &MainWindow::openRequested);
    }
    return m_openRequests->listen(socketName);
}

Editor& Editor::instance()
{
    Q_ASSERT(current);
    return *current;
}

}  // namespace lumavex
