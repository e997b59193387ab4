# The end-to-end cases, one function each, run by run_case.sh in a fresh
# working directory holding parts/ (the samples), bad/ (broken part files),
# bin/ (first on PATH) and out/ (everything compared with golden files).

# Interactive runs on the native samples: report and system log.
case_interactive_bracket() {
  VETR_outdir=out run_orvel bracket interactive parts/bracket.prt --syslog out/syslog.txt
}

case_interactive_assembly() {
  VETR_outdir=out run_orvel assembly interactive parts/bracket_assembly.prt \
    --syslog out/syslog.txt
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
  VETR_outdir=out run_orvel dataset interactive "@DB/4711/B/specification/sheet 1" \
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
# writes the result file.
case_batch_single_part() {
  run_orvel batch batch --single-part parts/bracket.prt --outdir out \
    --result-file out/result.txt --action "ModelGetData,DrawingGetData" --detail-option 70,1 \
    --verbose 1 --syslog out/syslog.txt
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
  printf '%s\n' @DB/4711/A "@DB/4711/B/specification/sheet 1" "47 11" 9999 @db@4711@A >parts.txt
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
}

# Result records of parts whose host calls fail: the first failure gives the
# code and the host's message with the line of the call; a negative code
# gives "Programm fault" with the line.
case_result_records() {
  printf '%s\n' bad/failing_history.prt bad/failing_negative.prt parts/bracket.prt >parts.txt
  run_orvel batch batch --part-list parts.txt --outdir out --result-file out/result.txt \
    --action ModelGetData --syslog out/syslog.txt
}
