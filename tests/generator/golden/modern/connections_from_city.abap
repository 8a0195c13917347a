*&---------------------------------------------------------------------*
*& Report ZCONNECTIONS_FROM_CITY
*& Scheduled connections and flight dates from one city
*&---------------------------------------------------------------------*
*& Author:  JSMITH
*& Company: Northwind Air Services
*&---------------------------------------------------------------------*
REPORT zconnections_from_city.

TABLES spfli.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_cityf.
PARAMETERS p_cityfr TYPE spfli-cityfrom OBLIGATORY DEFAULT 'FRANKFURT'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carri.
SELECT-OPTIONS s_carrid FOR spfli-carrid DEFAULT 'LH'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        carrid   TYPE spfli-carrid,
        connid   TYPE spfli-connid,
        cityfrom TYPE spfli-cityfrom,
        cityto   TYPE spfli-cityto,
        deptime  TYPE spfli-deptime,
        arrtime  TYPE spfli-arrtime,
        carrname TYPE scarr-carrname,
        fldate   TYPE sflight-fldate,
        seatsocc TYPE sflight-seatsocc,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SPFLI' ).
    check_authority( 'SCARR' ).
    check_authority( 'SFLIGHT' ).
    SELECT a~carrid, a~connid, a~cityfrom, a~cityto, a~deptime, a~arrtime, b~carrname, c~fldate, c~seatsocc
      FROM spfli AS a
      INNER JOIN scarr AS b ON a~carrid = b~carrid
      INNER JOIN sflight AS c ON a~carrid = c~carrid
                             AND a~connid = c~connid
      INTO TABLE @mt_output
      WHERE a~cityfrom = @p_cityfr
        AND a~carrid IN @s_carrid
      ORDER BY a~carrid, a~connid, a~cityfrom, a~cityto, a~deptime, a~arrtime, b~carrname, c~fldate,
               c~seatsocc ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( EXPORTING list_display = abap_true
                            IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRID'
                     iv_text    = 'Airline'(002) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CONNID'
                     iv_text    = 'Flight Number'(003) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CITYFROM'
                     iv_text    = 'Depart.city'(004) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CITYTO'
                     iv_text    = 'Arrival city'(005) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'DEPTIME'
                     iv_text    = 'Departure'(006) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'ARRTIME'
                     iv_text    = 'Arrival Time'(007) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRNAME'
                     iv_text    = 'Airline name'(008) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'FLDATE'
                     iv_text    = 'Date'(009) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'SEATSOCC'
                     iv_text    = 'Occupied econ.'(010) ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).

    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_cityf = 'Depart.city'(004).
  sc_carri = 'Airline'(002).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
