# The dialog tests compile the dialog sources themselves so they do not wait for the whole
# display library to link.
if(TARGET presmon_config AND TARGET presmon_link)
  set(PRESMON_DIALOG_SOURCES
    ${PROJECT_SOURCE_DIR}/src/ui/ColorBox.cpp
    ${PROJECT_SOURCE_DIR}/src/ui/LineSample.cpp
    ${PROJECT_SOURCE_DIR}/src/ui/SignPanel.cpp
    ${PROJECT_SOURCE_DIR}/src/chart/ColorValue.cpp)
  set(PRESMON_DIALOG_INCLUDES
    ${PROJECT_SOURCE_DIR}/src/ui
    ${PROJECT_SOURCE_DIR}/src/chart
    ${PROJECT_SOURCE_DIR}/src/acquisition)

  presmon_add_test(tst_TFrmLineSet
    SOURCES tst_TFrmLineSet.cpp ${PROJECT_SOURCE_DIR}/src/ui/TFrmLineSet.cpp ${PRESMON_DIALOG_SOURCES}
    LIBS Qt6::Widgets presmon_config
    LABELS ui)
  target_include_directories(tst_TFrmLineSet PRIVATE ${PRESMON_DIALOG_INCLUDES})

  presmon_add_test(tst_TFrmPicAll
    SOURCES tst_TFrmPicAll.cpp ${PROJECT_SOURCE_DIR}/src/ui/TFrmPicAll.cpp ${PRESMON_DIALOG_SOURCES}
    LIBS Qt6::Widgets presmon_link presmon_config
    LABELS ui)
  target_include_directories(tst_TFrmPicAll PRIVATE ${PRESMON_DIALOG_INCLUDES})
else()
  message(STATUS "dialog tests skipped: presmon_config or presmon_link missing")
endif()
