* Stand-in: the columns of a SALV table. A column is a component of the
* table's line, named in upper case as SALV names them; any other name
* raises CX_SALV_NOT_FOUND, as on SAP.
CLASS cl_salv_columns_table DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING ir_table TYPE REF TO data.
    METHODS set_optimize
      IMPORTING value TYPE abap_bool DEFAULT abap_true.
    METHODS get_column
      IMPORTING columnname   TYPE lvc_fname
      RETURNING VALUE(value) TYPE REF TO cl_salv_column
      RAISING   cx_salv_not_found.
    " Whether the table's line has a component of that name, and its type kind.
    METHODS component_kind
      IMPORTING iv_name        TYPE lvc_fname
      RETURNING VALUE(rv_kind) TYPE string.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mr_table TYPE REF TO data.
    DATA mv_optimize TYPE abap_bool.
    DATA mt_columns TYPE STANDARD TABLE OF REF TO cl_salv_column WITH DEFAULT KEY.
ENDCLASS.

CLASS cl_salv_columns_table IMPLEMENTATION.
  METHOD constructor.
    mr_table = ir_table.
  ENDMETHOD.

  METHOD set_optimize.
    mv_optimize = value.
  ENDMETHOD.

  METHOD component_kind.
    DATA lr_line TYPE REF TO data.
    FIELD-SYMBOLS <lt_table> TYPE STANDARD TABLE.
    FIELD-SYMBOLS <ls_line> TYPE any.
    FIELD-SYMBOLS <lv_cell> TYPE any.
    DATA lv_kind TYPE c LENGTH 1.
    IF iv_name IS INITIAL OR iv_name <> to_upper( iv_name ).
      RETURN.
    ENDIF.
    ASSIGN mr_table->* TO <lt_table>.
    CREATE DATA lr_line LIKE LINE OF <lt_table>.
    ASSIGN lr_line->* TO <ls_line>.
    ASSIGN COMPONENT iv_name OF STRUCTURE <ls_line> TO <lv_cell>.
    IF sy-subrc = 0.
      DESCRIBE FIELD <lv_cell> TYPE lv_kind.
      rv_kind = lv_kind.
    ENDIF.
  ENDMETHOD.

  METHOD get_column.
    DATA lo_column TYPE REF TO cl_salv_column.
    LOOP AT mt_columns INTO lo_column.
      IF lo_column->get_columnname( ) = columnname.
        value = lo_column.
        RETURN.
      ENDIF.
    ENDLOOP.
    IF component_kind( columnname ) IS INITIAL.
      RAISE EXCEPTION TYPE cx_salv_not_found
        EXPORTING
          text = |Column { columnname } does not exist|.
    ENDIF.
    CREATE OBJECT value
      EXPORTING
        iv_name = columnname.
    APPEND value TO mt_columns.
  ENDMETHOD.

  METHOD to_json.
    DATA lo_column TYPE REF TO cl_salv_column.
    DATA lv_list TYPE string.
    DATA lr_line TYPE REF TO data.
    DATA lt_texts TYPE STANDARD TABLE OF string WITH DEFAULT KEY.
    DATA lv_entry TYPE string.
    DATA lv_name TYPE lvc_fname.
    DATA lv_label TYPE string.
    FIELD-SYMBOLS <lt_table> TYPE STANDARD TABLE.
    FIELD-SYMBOLS <ls_line> TYPE any.
    " SALV gives each column of a dictionary-typed line the dictionary's texts
    " in the logon language where the report sets none.
    ASSIGN mr_table->* TO <lt_table>.
    CREATE DATA lr_line LIKE LINE OF <lt_table>.
    ASSIGN lr_line->* TO <ls_line>.
    CALL FUNCTION 'ZEXEC_DICTIONARY_TEXTS'
      EXPORTING
        is_line  = <ls_line>
      TABLES
        et_texts = lt_texts.
    LOOP AT lt_texts INTO lv_entry.
      SPLIT lv_entry AT '|' INTO lv_name lv_label.
      TRY.
          lo_column = get_column( lv_name ).
          lo_column->set_dictionary_text( lv_label ).
        CATCH cx_salv_not_found.
          CONTINUE.
      ENDTRY.
    ENDLOOP.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'OPTIMIZE' iv_value = mv_optimize CHANGING cv_json = rv_json ).
    lv_list = '['.
    LOOP AT mt_columns INTO lo_column.
      zcl_salv_capture=>item( EXPORTING iv_raw = lo_column->to_json( ) CHANGING cv_json = lv_list ).
    ENDLOOP.
    CONCATENATE lv_list ']' INTO lv_list.
    zcl_salv_capture=>raw_member( EXPORTING iv_name = 'COLUMNS' iv_raw = lv_list CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
