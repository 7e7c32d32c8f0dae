#!/usr/bin/env bash
# Keeps the logic layers free of widgets: no file under src/platform, src/snmp, src/mib,
# src/config or src/mail includes a Qt widget header or anything from ui/ or app/, and none
# of their CMake libraries links Qt5::Widgets (or the ui and app libraries). Prints every
# offending line and fails when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=()
for dir in src/platform src/snmp src/mib src/config src/mail; do
    [ -d "$dir" ] && layers+=("$dir")
done

# The widget headers: every header of Qt's widget module where Qt is installed, else the
# usual ones. Either way <QtWidgets> and <QtWidgets/...> count.
widgets_dir="$(pkg-config --variable=includedir Qt5Widgets 2>/dev/null || true)/QtWidgets"
if [ -d "$widgets_dir" ]; then
    headers=$(find "$widgets_dir" -maxdepth 1 -type f -printf '%f\n' | sed 's/\./\\./g' | paste -sd '|')
else
    headers='Q(Widget|Dialog|MainWindow|MessageBox|Label|ComboBox|Menu|MenuBar|Action|ActionGroup|Application|PushButton|AbstractButton|CheckBox|RadioButton|LineEdit|TextEdit|PlainTextEdit|SpinBox|ToolBar|ToolButton|TableWidget|TableView|TreeView|TreeWidget|ListView|ListWidget|HeaderView|Splitter|ScrollArea|Frame|GroupBox|TabWidget|StackedWidget|Layout|BoxLayout|HBoxLayout|VBoxLayout|GridLayout|FormLayout|FileDialog|InputDialog|ProgressBar|ProgressDialog|StatusBar|Style|SystemTrayIcon|Completer|DialogButtonBox|StyledItemDelegate)'
fi
include_pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](QtWidgets([/>\"]|$)|(QtWidgets/)?(${headers})[>\"]|(ui|app)/)"

failed=0
if offending=$(grep -rnE --include='*.h' --include='*.cpp' "$include_pattern" "${layers[@]}"); then
    echo "check-layers: a logic layer includes a widget header or ui/ or app/:" >&2
    echo "$offending" >&2
    failed=1
fi
if offending=$(grep -nE 'Widgets|tessaro_ui|tessaro_app' "${layers[@]/%//CMakeLists.txt}" 2>/dev/null); then
    echo "check-layers: a logic library links widgets, ui or app:" >&2
    echo "$offending" >&2
    failed=1
fi
[ "$failed" -eq 0 ] && echo "check-layers: ${layers[*]} are free of widgets"
exit "$failed"
