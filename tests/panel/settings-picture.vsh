# The settings window for the README (docs/images/settings.png): the Vantrel tab with the
# plug-in enabled and the table at its default place (left 10, top 350). From the top of
# the tree, with a build in build/debug:
#
#   build/debug/vantrel-host --workdir /tmp/vantrel-picture tests/panel/settings-picture.vsh
#   cp /tmp/vantrel-picture/settings.png docs/images/settings.png
set vantrel_enabled 1
set vantrel_pos_x 10
set vantrel_pos_y 350
vantrel_show_menu
settings settings.png
