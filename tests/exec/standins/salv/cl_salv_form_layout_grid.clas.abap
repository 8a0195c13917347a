* Stand-in: a SALV form laid out as a grid of cells: header information,
* labels and texts at a row and column.
CLASS cl_salv_form_layout_grid DEFINITION PUBLIC INHERITING FROM cl_salv_form_element CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS create_header_information
      IMPORTING row     TYPE i
                column  TYPE i
                rowspan TYPE i DEFAULT 1
                colspan TYPE i DEFAULT 1
                text    TYPE csequence OPTIONAL
                tooltip TYPE csequence OPTIONAL.
    METHODS create_label
      IMPORTING row     TYPE i
                column  TYPE i
                rowspan TYPE i DEFAULT 1
                colspan TYPE i DEFAULT 1
                text    TYPE csequence OPTIONAL
                tooltip TYPE csequence OPTIONAL.
    METHODS create_text
      IMPORTING row     TYPE i
                column  TYPE i
                rowspan TYPE i DEFAULT 1
                colspan TYPE i DEFAULT 1
                text    TYPE csequence OPTIONAL
                tooltip TYPE csequence OPTIONAL.
    METHODS to_json REDEFINITION.
  PRIVATE SECTION.
    TYPES: BEGIN OF ty_cell,
             row    TYPE i,
             column TYPE i,
             kind   TYPE string,
             text   TYPE string,
           END OF ty_cell.
    DATA mt_cells TYPE STANDARD TABLE OF ty_cell WITH DEFAULT KEY.
    METHODS add
      IMPORTING iv_row    TYPE i
                iv_column TYPE i
                iv_kind   TYPE string
                iv_text   TYPE csequence.
ENDCLASS.

CLASS cl_salv_form_layout_grid IMPLEMENTATION.
  METHOD add.
    DATA ls_cell TYPE ty_cell.
    ls_cell-row = iv_row.
    ls_cell-column = iv_column.
    ls_cell-kind = iv_kind.
    ls_cell-text = iv_text.
    APPEND ls_cell TO mt_cells.
  ENDMETHOD.

  METHOD create_header_information.
    add( iv_row = row iv_column = column iv_kind = 'HEADER_INFORMATION' iv_text = text ).
  ENDMETHOD.

  METHOD create_label.
    add( iv_row = row iv_column = column iv_kind = 'LABEL' iv_text = text ).
  ENDMETHOD.

  METHOD create_text.
    add( iv_row = row iv_column = column iv_kind = 'TEXT' iv_text = text ).
  ENDMETHOD.

  METHOD to_json.
    DATA ls_cell TYPE ty_cell.
    DATA lv_cell TYPE string.
    rv_json = '['.
    LOOP AT mt_cells INTO ls_cell.
      lv_cell = '{'.
      zcl_salv_capture=>member( EXPORTING iv_name = 'ROW' iv_value = ls_cell-row CHANGING cv_json = lv_cell ).
      zcl_salv_capture=>member( EXPORTING iv_name = 'COLUMN' iv_value = ls_cell-column CHANGING cv_json = lv_cell ).
      zcl_salv_capture=>member( EXPORTING iv_name = 'KIND' iv_value = ls_cell-kind CHANGING cv_json = lv_cell ).
      zcl_salv_capture=>member( EXPORTING iv_name = 'TEXT' iv_value = ls_cell-text CHANGING cv_json = lv_cell ).
      CONCATENATE lv_cell '}' INTO lv_cell.
      zcl_salv_capture=>item( EXPORTING iv_raw = lv_cell CHANGING cv_json = rv_json ).
    ENDLOOP.
    CONCATENATE rv_json ']' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
