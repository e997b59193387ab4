# The end-to-end cases, one function each, run by run_case.sh in a fresh
# working directory holding parts/ (the samples), bad/ (broken part files),
# bin/ (first on PATH) and out/ (everything compared with golden files).

# Interactive runs on every native sample: report, system log, output and
# status of each.
case_interactive_samples() {
  local part name
  for part in parts/*.prt; do
    name=$(basename "$part" .prt)
    VETR_outdir=out run_orvel "$name" interactive "$part" --syslog "out/$name.syslog"
  done
}

# Every character that sanitising replaces becomes "_" in the report's name;
# the part's own name stays as it is in the report and the log.
case_interactive_sanitised_name() {
  VETR_outdir=out VETR_detail_option=1 \
    run_orvel sanitised interactive "parts/flange #2; rev=A.prt" --syslog out/syslog.txt
}

# The report describes the work part even when another part is displayed.
case_interactive_display_part() {
  VETR_outdir=out run_orvel display interactive parts/bracket.prt \
    --display "parts/flange #2; rev=A.prt" --syslog out/syslog.txt
}

# Managed parts: reports named from the decoded fields, with and without a
# dataset type and name.
case_interactive_pdm() {
  build_store
  VETR_outdir=out run_orvel master interactive @DB/4711/B --pdm store/store.db \
    --syslog out/master.syslog
  VETR_outdir=out run_orvel dataset interactive "@DB/4711/B/datasheet/sheet 1" \
    --pdm store/store.db --syslog out/dataset.syslog
}

# The post command gets the report path as one argument, blanks and all.
case_post_command_blanks() {
  record_argv
  mkdir -p "out/report dir"
  VETR_outdir="out/report dir" VETR_POSTCOMMAND=record-argv \
    run_orvel blanks interactive parts/bracket.prt --syslog out/syslog.txt
}

# Shell metacharacters in a part's name reach the post command as part of
# its one argument and start nothing else (INJECTED.txt would show it). The
# command-line name goes into the report unescaped, so "&" leaves it
# ill-formed.
case_post_command_metacharacters() {
  expect_malformed "out/a&b.xml"
  record_argv
  plant_canaries
  cp parts/bracket.prt "parts/a&b.prt"
  cp parts/bracket.prt "parts/a|b.prt"
  VETR_outdir=out VETR_POSTCOMMAND=record-argv \
    run_orvel ampersand interactive "parts/a&b.prt" --syslog out/ampersand.syslog
  VETR_outdir=out VETR_POSTCOMMAND=record-argv \
    run_orvel bar interactive "parts/a|b.prt" --syslog out/bar.syslog
}

# A batch run echoes action and detail option in the report's frame and
# writes the result file; the host's release text and assembly load options
# given on the command line show in the frame too.
case_batch_single_part() {
  run_orvel batch batch --single-part parts/bracket.prt --outdir out \
    --result-file out/result.txt --action "ModelGetData,DrawingGetData" --detail-option 70,1 \
    --verbose 1 --syslog out/syslog.txt --release V10.1.2 --load-options 1 --search-dir parts \
    --load-option failure_action=1 --load-option load-latest=1 --emphasize-color 186
}

# A job file with a part list: a good part, a missing one (a -1001 record)
# and one whose name is sanitised. The command line's --outdir overrides the
# job file's.
case_batch_job_list() {
  printf '%s\n' parts/bracket.prt parts/missing.prt "parts/flange #2; rev=A.prt" >parts.txt
  cat >job.txt <<'JOB'
# list run
part-list   = parts.txt
result_file = out/result.txt
outdir      = "not here"
action      = AssemblyGetData
JOB
  run_orvel batch batch --job job.txt --outdir out --syslog out/syslog.txt
}

# PDM mode in batch: encoded names with either delimiter, a bare part number
# (its configured revision), an unknown number and a dataset.
case_batch_pdm_list() {
  build_store
  printf '%s\n' @DB/4711/A "@DB/4711/B/datasheet/sheet 1" "47 11" 9999 @db@4711@A >parts.txt
  run_orvel batch batch --pdm store/store.db --part-list parts.txt --outdir out \
    --result-file out/result.txt --action ModelGetData --syslog out/syslog.txt
}

# Broken part files: the host's message on standard error, a non-zero
# status, no report; in batch the plug-in's code on standard error.
case_bad_part_files() {
  local name
  for name in missing not_json wrong_type dangling_reference; do
    VETR_outdir=out run_orvel "$name" interactive "bad/$name.prt" --syslog "out/$name.syslog"
  done
  run_orvel batch batch --single-part bad/not_json.prt --outdir out \
    --result-file out/result.txt --syslog out/batch.syslog
}

# Refusals of the command itself.
case_command_line_errors() {
  run_orvel too_long batch --single-part "$(printf 'x%.0s' $(seq 1 1024))"
  printf 'outdir = out\nno_such_field = 1\n' >job.txt
  run_orvel bad_job batch --job job.txt
  run_orvel no_plugin batch --plugin lib/missing.so --single-part parts/bracket.prt
  cp "$build/lib/liborvel.so" not-a-plugin.so
  run_orvel no_entry interactive parts/bracket.prt --plugin ./not-a-plugin.so
  run_orvel bad_number batch --verbose yes
  run_orvel not_a_store interactive parts/bracket.prt --pdm parts/bracket.prt
  run_orvel no_syslog batch --single-part parts/bracket.prt --syslog no/such/dir/log.txt
  run_orvel no_store interactive parts/bracket.prt --pdm no/such/store.db
  run_orvel store_is_dir batch --single-part parts/bracket.prt --pdm parts
  local number
  for number in nan inf 0x1p3 +1 1e400 " 1"; do
    run_orvel "number_$number" batch --cgm-offset-x "$number"
  done
  run_orvel integer_plus batch --verbose +1
  printf 'cgm-offset-y = -0x10\n' >hex_job.txt
  run_orvel hex_job batch --job hex_job.txt
}

# A system log that cannot be written (a full disk): the run still checks
# the part, and orvel says so on standard error and exits 4.
case_syslog_full() {
  run_orvel batch batch --single-part parts/bracket.prt --outdir out --result-file out/result.txt \
    --syslog /dev/full
  VETR_outdir=out run_orvel interactive interactive parts/cover.prt --syslog /dev/full
}

# A PDM store whose tables changed after it was opened: each managed part
# gets its -1001 record with the store's message in the log, and the batch
# goes on with the next line.
case_batch_pdm_store_failure() {
  build_store
  sqlite3 store/store.db "DROP TABLE revisions"
  printf '%s\n' @DB/4711/A parts/bracket.prt "@DB/4711/B/datasheet/sheet 1" >parts.txt
  run_orvel batch batch --pdm store/store.db --part-list parts.txt --outdir out \
    --result-file out/result.txt --action none --syslog out/syslog.txt
}

# Result records of parts whose host calls fail: the first failure gives the
# code and the host's message with the line of the call; a negative code
# gives "Programm fault" with the line.
case_result_records() {
  printf '%s\n' bad/failing_history.prt bad/failing_negative.prt parts/bracket.prt >parts.txt
  run_orvel batch batch --part-list parts.txt --outdir out --result-file out/result.txt \
    --action ModelGetData --syslog out/syslog.txt
}

# Building a store by hand: the revision added last is the configured one;
# duplicates, unknown owners and an existing store file are refused.
case_pdm_commands() {
  local s=store/hand.db
  mkdir -p store
  run_orvel create pdm create "$s"
  run_orvel create_again pdm create "$s"
  run_orvel item pdm add-item "$s" 0815 "Cover plate"
  run_orvel item_again pdm add-item "$s" 0815
  run_orvel rev_a pdm add-revision "$s" 0815 A
  run_orvel rev_b pdm add-revision "$s" 0815 B
  run_orvel rev_unknown pdm add-revision "$s" 9999 A
  run_orvel master_b pdm add-dataset "$s" 0815 B parts/bracket.prt
  run_orvel sheet_b pdm add-dataset "$s" 0815 B "parts/flange #2; rev=A.prt" --type drawing \
    --name "sheet 1"
  run_orvel dataset_unknown pdm add-dataset "$s" 0815 C parts/bracket.prt
  run_orvel list pdm list "$s"
  run_orvel long_number pdm add-item "$s" "$(printf '9%.0s' $(seq 1 129))"
  run_orvel long_name pdm add-dataset "$s" 0815 B parts/bracket.prt --type drawing \
    --name "$(printf 's%.0s' $(seq 1 129))"
  printf '%s\n' 0815 "@DB@0815@B@drawing@sheet 1" >parts.txt
  run_orvel batch batch --pdm "$s" --part-list parts.txt --outdir out --result-file out/result.txt \
    --action none --syslog out/syslog.txt
}

# A PDM mode query that fails is reported on the console and in the log and
# counts as "not in PDM mode": the report is named from the native file name
# although a store is open. Beside it, the same part without the failure is
# named from the (empty) decoded fields.
case_pdm_query_failure() {
  build_store
  VETR_outdir=out run_orvel failing interactive bad/failing_pdm_query.prt --pdm store/store.db \
    --syslog out/failing.syslog
  VETR_outdir=out run_orvel plain interactive parts/bracket.prt --pdm store/store.db \
    --syslog out/plain.syslog
}

# Hostile values in a list run: numbers beyond a double (also in a
# component's part file), a body and a placement whose mass values cannot be
# finite, and a part "file" that is a directory are load failures (-1001);
# bodies whose combined moments overflow get the mass failure's code in their
# result record. Every line gets its record and the batch goes on.
case_batch_hostile_values() {
  mkdir bad/folder.prt
  printf '%s\n' bad/overflow_units.prt bad/overflow_component.prt bad/huge_block.prt \
    bad/far_origin.prt bad/folder.prt bad/distant_pair.prt parts/bracket.prt >parts.txt
  run_orvel batch batch --part-list parts.txt --outdir out --result-file out/result.txt \
    --action ModelGetData --syslog out/syslog.txt
  for name in overflow_units overflow_component far_origin folder; do
    VETR_outdir=out run_orvel "$name" interactive "bad/$name.prt" --syslog "out/$name.syslog"
  done
}


# Runs the check with the CGM export: cgm_export NAME PART MODE [OPTION...];
# the report, the result file, the system log and the CGM files go to
# out/NAME, the CGM files to $cgm_dir instead when that is set.
cgm_export() {
  local name=$1 part=$2 mode=$3
  shift 3
  mkdir -p "out/$name"
  run_orvel "$name" batch --single-part "$part" --outdir "out/$name" \
    --result-file "out/$name/result.txt" --cgm-dir "${cgm_dir:-out/$name}" --cgm-mode "$mode" \
    --syslog "out/$name/syslog.txt" "$@"
}

# CGM export of every drawing, in each mode and its near misses: "-1" and
# "3" write a file per drawing, any other mode logs the Output line only.
# Each CGM file is compared as the listing of what it holds.
case_cgm_export() {
  local probe mode
  probe="$(dirname "$orvel")/cgm_probe"
  mkdir -p previews
  for mode in "-1" "3" "-1 " "3D" "03" ""; do
    cgm_export "mode[$mode]" parts/plate_drawings.prt "$mode" --preview-dir previews
  done
  # One well-formed SVG picture per exported drawing.
  for file in previews/*; do
    xmllint --noout "$file" && echo "$file well-formed" >>out/previews.txt
  done
  cgm_export with_view bad/drawing_filters.prt 3 --drawing-filter _with_view_
  # Every recorded call of the export failing once: logged, the loop goes
  # on, and the part's result stays OK (it was taken before the export).
  for mode in "-1" "3"; do
    cgm_export "failing[$mode]" bad/fail_cgm_export.prt "$mode"
  done
  # A drawing whose name holds a "/" is passed over with a warning: its file
  # name would reach outside the CGM directory. With the directory
  # slash_names_sub present, "sub/../../escape" would land in out/.
  mkdir -p out/slash/slash_names_sub
  cgm_export slash bad/slash_names.prt 3
  [ ! -e out/escape.cgm ] || fail "a drawing's CGM file was written outside the CGM directory"
  [ -z "$(ls out/slash/slash_names_sub)" ] || fail "a drawing's CGM file went into a subdirectory"
  rmdir out/slash/slash_names_sub
  # With the view filter, the drawings without views are passed over
  # silently, long or "/" names alike; the others still get their warning.
  cgm_export slash_with_view bad/slash_names.prt 3 --drawing-filter _with_view_
  # A CGM directory that does not exist: every write fails and is recorded
  # in the log in both modes, and the command names each file not written
  # and ends with status 8 (the part's result line stays OK).
  for mode in "-1" "3"; do
    cgm_dir="out/unwritable[$mode]/missing" \
      cgm_export "unwritable[$mode]" parts/plate_drawings.prt "$mode"
  done
  # A picture that cannot be written (a directory stands under its name)
  # does not fail the CGM file, which is written; the command names the
  # picture and ends with status 8.
  mkdir -p blocked/plate_drawings_SHEET2.svg
  cgm_export no_picture parts/plate_drawings.prt 3 --preview-dir blocked
  for file in out/*/*.cgm; do
    "$probe" read "$file" >"$file.txt" 2>&1 || fail "$file cannot be read"
    rm "$file"
  done
}

# Runs the CGM import of the batch driver: import NAME TEMPLATE CGM1 LAYER1
# CGM2 LAYER2 [OPTION...]; colours 5 and 6, offset (100, 50), the target
# out/NAME/target.prt and the system log out/NAME/syslog.txt.
cgm_import() {
  local name=$1 template=$2 cgm1=$3 layer1=$4 cgm2=$5 layer2=$6
  shift 6
  mkdir -p "out/$name"
  run_orvel "$name" batch --action CgmImportToOrvelPartFile --cgm-template-part "$template" \
    --cgm1-file "$cgm1" --cgm1-layer "$layer1" --cgm1-color 5 \
    --cgm2-file "$cgm2" --cgm2-layer "$layer2" --cgm2-color 6 \
    --cgm-offset-x 100 --cgm-offset-y 50 --cgm-target-part "out/$name/target.prt" \
    --syslog "out/$name/syslog.txt" "$@"
}

# The CGM import builds a part from a template and two CGM files. The saved
# part is compared whole (colours, layers, the offset of the second file's
# objects, no drawing left) and checked again as an ordinary part, its
# report listing the lines, arcs and notes in the entities section.
case_cgm_import() {
  local probe
  probe="$(dirname "$orvel")/cgm_probe"
  "$probe" sample sheet.cgm
  printf '\x00\x20\x00\x60\x00\x80\x00\xa0\x00\x40' >empty.cgm
  head -c 100 sheet.cgm >truncated.cgm
  printf 'BEGMF "not binary";\n' >text.cgm
  # Objects that were on the layers before are treated like imported ones.
  cgm_import ok bad/cgm_template.prt sheet.cgm 20 bad/line.cgm 21
  run_orvel ok_check batch --single-part out/ok/target.prt --outdir out/ok \
    --result-file out/ok/result.txt --detail-option 3,5,25 --syslog out/ok/check.syslog.txt
  # A file that puts nothing on its layer counts 0 objects; one layer for
  # both files: the second pass recolours and moves the first file's objects.
  cgm_import empty bad/cgm_template.prt empty.cgm 30 empty.cgm 31
  cgm_import same_layer bad/cgm_template.prt bad/line.cgm 20 empty.cgm 20
  # Malformed and missing files end the import; nothing is saved.
  cgm_import missing_first bad/cgm_template.prt missing.cgm 20 bad/line.cgm 21
  cgm_import text_first bad/cgm_template.prt text.cgm 20 bad/line.cgm 21
  cgm_import truncated_second bad/cgm_template.prt bad/line.cgm 20 truncated.cgm 21
  cgm_import no_template bad/missing_template.prt bad/line.cgm 20 bad/line.cgm 21
  # A body that cannot be moved, a drawing that is not deleted, a save and a
  # close that fail: logged and recorded, the run goes on.
  cgm_import failing bad/cgm_template_failing.prt bad/line.cgm 20 bad/line.cgm 21
  # A target part that cannot be written (its directory is missing): the
  # plug-in's run returns 0, so the command names the part and ends with 7.
  mkdir -p out/unsaved
  run_orvel unsaved batch --action CgmImportToOrvelPartFile --cgm-template-part bad/cgm_template.prt \
    --cgm1-file bad/line.cgm --cgm1-layer 20 --cgm2-file bad/line.cgm --cgm2-layer 21 \
    --cgm-offset-x 0 --cgm-offset-y 0 --cgm-target-part out/unsaved/missing/target.prt \
    --syslog out/unsaved/syslog.txt
  # No target part named: nothing can be saved, and the run must not end
  # as a success.
  mkdir -p out/no_target
  run_orvel no_target batch --action CgmImportToOrvelPartFile --cgm-template-part bad/cgm_template.prt \
    --cgm1-file bad/line.cgm --cgm1-layer 20 --cgm2-file bad/line.cgm --cgm2-layer 21 \
    --cgm-offset-x 0 --cgm-offset-y 0 --syslog out/no_target/syslog.txt
  # The log carries the message cut at its buffer, so how much of it follows
  # the process id depends on the id's length: that tail is masked too.
  sed -i -E 's/\.tmp[0-9]+/.tmpPID/' out/unsaved.stderr
  sed -i -E 's/\.tmp[0-9]+[^)]*\)/.tmpPID)/' out/unsaved/syslog.txt
}

# Output that cannot be written is no success: a missing output directory
# gives each report's record a failure code and the reason, the interactive
# run skips the post command, and a result file that cannot be written makes
# the batch exit with 5 and say so.
case_unwritable_output() {
  record_argv
  printf '%s\n' parts/bracket.prt parts/missing.prt >parts.txt
  run_orvel no_outdir batch --part-list parts.txt --outdir out/no-dir --result-file out/result.txt \
    --action none --syslog out/no_outdir.syslog
  run_orvel no_result_dir batch --single-part parts/bracket.prt --outdir out \
    --result-file out/no-dir/result.txt --action none --syslog out/no_result_dir.syslog
  VETR_outdir=out/no-dir VETR_POSTCOMMAND=record-argv \
    run_orvel interactive interactive parts/bracket.prt --syslog out/interactive.syslog
}

# The post command: a report path that cannot be formed gives no report and
# runs nothing; an over-long VETR_POSTCOMMAND is refused; without an output
# directory a report named "--version.xml" reaches the command as
# "./--version.xml"; an unset VETR_POSTCOMMAND means "notepad".
case_post_command_refusals() {
  record_argv
  local long_dir
  long_dir="out/$(printf 'd%.0s' $(seq 1 250))/$(printf 'e%.0s' $(seq 1 250))"
  cp parts/bracket.prt "parts/$(printf 'p%.0s' $(seq 1 60)).prt"
  VETR_outdir="$long_dir" VETR_POSTCOMMAND=record-argv run_orvel no_path interactive \
    "parts/$(printf 'p%.0s' $(seq 1 60)).prt" --syslog out/no_path.syslog
  VETR_outdir=out VETR_POSTCOMMAND="record-argv$(printf ' %.0s' $(seq 1 600))x" \
    run_orvel long_command interactive parts/bracket.prt --syslog out/long_command.syslog
  cp parts/bracket.prt parts/--version.prt
  VETR_POSTCOMMAND=record-argv run_orvel dash interactive parts/--version.prt \
    --syslog out/dash.syslog
  cp bin/record-argv bin/notepad
  (
    unset VETR_POSTCOMMAND
    VETR_outdir=out run_orvel notepad interactive parts/bracket.prt --syslog out/notepad.syslog
  )
}

# Verbose runs in PDM mode, a single part and a list: every trace line of
# the naming and of the batch driver. The list holds a dataset with a type
# and no name, and a name whose encoding fails (an empty part number).
case_batch_pdm_verbose() {
  build_store
  run_orvel add_dataset pdm add-dataset store/store.db 4711 A parts/cover.prt --type drawing
  run_orvel single batch --pdm store/store.db --single-part @DB/4711/A --outdir out \
    --result-file out/single.txt --action none --verbose 1 --syslog out/single.syslog
  printf '%s\n' "@DB/4711/B/datasheet/sheet 1" @DB/4711/A/drawing @DB//A >parts.txt
  run_orvel list batch --pdm store/store.db --part-list parts.txt --outdir out \
    --result-file out/list.txt --action none --verbose 1 --syslog out/list.syslog
}

# Lines longer than the line buffer are written whole: a detail option and an
# action of 2047 characters in the run data, a description of 1000.
case_long_lines() {
  local detail action description
  detail=$(printf '70,%.0s' $(seq 1 682))1
  action=ModelGetData$(printf '.%.0s' $(seq 1 2035))
  description=$(printf 'Long description %.0s' $(seq 1 58))$(printf 'x%.0s' $(seq 1 14))
  sed "s/\"description\": \"[^\"]*\"/\"description\": \"$description\"/" parts/bracket.prt \
    >parts/described.prt
  run_orvel batch batch --single-part parts/described.prt --outdir out \
    --result-file out/result.txt --detail-option "$detail" --action "$action" \
    --syslog out/syslog.txt
}

# The update stage, each step alone and all three together, over a list of
# two parts with drawings: the log shows the steps in their fixed order, the
# report's run data the code of each step that ran. gear_drawings has a
# feature that cannot update (2400); plate_drawings a drawing that stays out
# of date (200 at 2454). A step that did not run leaves its value.
case_batch_updates() {
  printf '%s\n' parts/plate_drawings.prt parts/gear_drawings.prt >parts.txt
  local run flags
  for run in features structure views all; do
    case $run in
      features) flags=(--update-features 1) ;;
      structure) flags=(--update-structure 1) ;;
      views) flags=(--update-views 1) ;;
      all) flags=(--update-features 1 --update-structure 1 --update-views 7) ;;
    esac
    mkdir -p "out/$run"
    run_orvel "$run/batch" batch --part-list parts.txt --outdir "out/$run" \
      --result-file "out/$run/result.txt" --action DrawingGetData --syslog "out/$run/syslog.txt" \
      "${flags[@]}"
  done
  # A structure synchronisation that fails by itself: a component file is
  # missing (the open goes on past it).
  mkdir -p out/sync
  run_orvel sync/batch batch --single-part bad/sync_missing_component.prt --outdir out/sync \
    --result-file out/sync/result.txt --action none --update-structure 1 \
    --load-option failure_action=1 --syslog out/sync/syslog.txt
}

# The drawing filter of the views update: empty and a plain drawing name take
# every drawing; a filter holding "_All_" only the drawing named by the whole
# filter. A drawing name over 30 characters is passed over with a warning;
# two view names alike in their first 30 characters reach the update once.
case_batch_drawing_filter() {
  local name filter
  for name in empty plain all all_with_view; do
    case $name in
      empty) filter="" ;;
      plain) filter="PLAIN" ;;
      all) filter="_All_" ;;
      all_with_view) filter="_All__with_view_" ;;
    esac
    mkdir -p "out/$name"
    run_orvel "$name/batch" batch --single-part bad/drawing_filters.prt --outdir "out/$name" \
      --result-file "out/$name/result.txt" --action DrawingGetData --update-views 1 \
      --drawing-filter "$filter" --syslog "out/$name/syslog.txt"
  done
}

# The entities section: types 25 and 26 mixed in the host's order, with
# origins, associated objects (a deleted one as "(null)"), text blocks (a
# note's "&" and "<" escaped, a sketch dimension's value on each of its
# lines). Then the field rules: 0, 1000, -5, letters and empty fields select
# nothing, 999 and " 25x" are taken, and a field longer than 255 characters
# is passed over (here 298 blanks before 26, so no dimension is listed).
case_batch_entities() {
  mkdir -p out/mixed out/fields
  run_orvel mixed/batch batch --single-part parts/plate_drawings.prt --outdir out/mixed \
    --result-file out/mixed/result.txt --action none --detail-option 25,26 \
    --syslog out/mixed/syslog.txt
  local long
  long="$(printf ' %.0s' $(seq 1 298))26"
  run_orvel fields/batch batch --single-part parts/plate_drawings.prt --outdir out/fields \
    --result-file out/fields/result.txt --action none \
    --detail-option "0,1000,-5,abc,,999, 25x,$long" --syslog out/fields/syslog.txt
}

# Every recorded call of the update stage and the entities section reaches a
# result record with its own line number: one part per injected failure, with
# every update step on and types 25 and 26 listed.
case_update_failure_sites() {
  printf '%s\n' bad/fail_2399_update_option.prt bad/fail_2400_update_features.prt \
    bad/fail_2417_structure_sync.prt bad/fail_2445_update_view.prt \
    bad/fail_2211_associativity.prt bad/fail_2301_free_text.prt >parts.txt
  run_orvel batch batch --part-list parts.txt --outdir out --result-file out/result.txt \
    --action DrawingGetData --detail-option 25,26 --update-features 1 --update-structure 1 \
    --update-views 1 --syslog out/syslog.txt
}

# Snapshot and save after each check, on copies of the samples: 2 switches
# neither on; 1 switches each on, in the order check, snapshot, save (and in
# a list run, close); the separators around the save differ between a single
# native part, a single managed part and a list. The saved part keeps its
# snapshot and reloads to the same report.
case_batch_snapshot_save() {
  mkdir -p out/off out/native out/list out/pdm out/reload
  cp parts/plate_drawings.prt plate.prt
  run_orvel off/batch batch --single-part plate.prt --outdir out/off --action none \
    --snapshot 2 --save 2 --verbose 1 --syslog out/off/syslog.txt
  cmp -s plate.prt parts/plate_drawings.prt || echo "plate.prt changed" >out/off/changed.txt
  run_orvel native/batch batch --single-part plate.prt --outdir out/native --action DrawingGetData \
    --detail-option 25,26 --update-views 1 --snapshot 1 --save 1 --verbose 1 \
    --syslog out/native/syslog.txt
  cp plate.prt out/native/saved.prt
  printf '%s\n' parts/gear_drawings.prt parts/bracket.prt >parts.txt
  run_orvel list/batch batch --part-list parts.txt --outdir out/list --result-file \
    out/list/result.txt --action none --snapshot 1 --save 1 --verbose 1 --syslog out/list/syslog.txt
  build_store
  run_orvel pdm/batch batch --pdm store/store.db --single-part @DB/4711/A --outdir out/pdm \
    --action none --snapshot 1 --save 1 --verbose 1 --syslog out/pdm/syslog.txt
  # The saved part, checked again, gives the report its check gave before
  # the save: the same drawings and entities, the same part header.
  run_orvel reload/batch batch --single-part plate.prt --outdir out/reload \
    --action DrawingGetData --detail-option 25,26 --syslog out/reload/syslog.txt
  diff <(sed -n '/^ <VettraData>/,/^ <\/VettraData>/p' out/native/plate.xml) \
    <(sed -n '/^ <VettraData>/,/^ <\/VettraData>/p' out/reload/plate.xml) >out/reload/differences.txt
}

# A save that fails for a reason of the host's own (here the temporary file's
# name is too long for the file system, then a refusal the part file
# injects): the plug-in logs the save as passed, so the command must name the
# part on standard error and end with status 7; the part file stays as it was.
case_batch_save_failure() {
  mkdir -p out/run
  local name
  name=$(printf 'L%.0s' $(seq 1 248)).prt
  cp parts/plate_drawings.prt "$name"
  run_orvel run/batch batch --single-part "$name" --outdir out/run --action none --save 1 \
    --syslog out/run/syslog.txt
  cmp -s "$name" parts/plate_drawings.prt || echo "the part file changed" >out/run/changed.txt
  ls | grep -c '\.tmp' >out/run/temporary_files.txt
  # The temporary file's name carries the process id.
  sed -i -E 's/\.tmp[0-9]+/.tmpPID/' out/run/batch.stderr
  mkdir -p out/refused
  cp bad/fail_save_work_only.prt refused.prt
  run_orvel refused/batch batch --single-part refused.prt --outdir out/refused --action none \
    --save 1 --syslog out/refused/syslog.txt
  cmp -s refused.prt bad/fail_save_work_only.prt || echo "the part file changed" >out/refused/changed.txt
}

# A chain of sub-assemblies 40 deep (the bench generator's, seeded): every
# component at its own level with its handle, each sub-assembly's active
# arrangement, the bodies shown through all of them and the mass of the
# whole chain.
case_deep_chain() {
  python3 "$source/bench/gen_sets.py" chain chain 40 >/dev/null
  VETR_outdir=out run_orvel chain interactive chain/chain_0000.prt --syslog out/chain.syslog
}
